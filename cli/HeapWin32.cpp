// Windows gives large pages only to a program that holds a privilege users do not have.
#include "cli/Heap.h"

void PrepareHeap()
{
}
