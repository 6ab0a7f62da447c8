#pragma once

// Readies the heap for the hundreds of thousands of strings of a big file, before any work.
void PrepareHeap();
