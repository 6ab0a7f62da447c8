#include "app/ConverterApp.h"

// The program's one application object, made during static initialisation.
ConverterApp theApp;
