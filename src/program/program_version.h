#pragma once
// The version both programs print for --version: the one the build and the package carry.

const char* ProgramVersion();
