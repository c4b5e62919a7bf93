#include "program/program_version.h"

const char* ProgramVersion() {
  return WIRELAB_VERSION;
}
