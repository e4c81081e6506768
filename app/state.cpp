#include "app/state.h"

ProgramState programState = {};
