// The built-in functions by their stored number (ptgFunc, ptgFuncVar): each one's name as the
// formula bar shows it in en-US and, for ptgFunc, how many arguments it always takes.
#ifndef CELLSIFT_FORMULA_FUNCTIONTABLE_H
#define CELLSIFT_FORMULA_FUNCTIONTABLE_H

#include <stdint.h>

struct FunctionInfo {
    const char *szName;
    int8_t cArgFixed; // -1: the count varies, so only ptgFuncVar (which stores it) can call it
};

// The number the user-defined and add-in calls carry; their first argument names the function.
const uint16_t kiftabAddIn = 255;

// Null for a number no function has.
const FunctionInfo *LookupFunction(uint16_t iftab);

#endif
