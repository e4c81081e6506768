#include "setupdata/programstate.h"

ProgramState programState = {};
