#pragma once
// Reads the run parameters of a service from its Parameters key.

#include <windows.h>

#include <string>

#include "runner/core/run_parameters.h"

namespace qm::runner {

struct ParametersFailure {
  std::string strKeyPath;  // relative to HKEY_LOCAL_MACHINE
  std::string strValue;    // empty when the key itself could not be opened
  DWORD dwError = 0;
};

// Runfile, Arguments and Directory must be there (as the tool writes them); the other values
// are optional. A value of the wrong type counts as unreadable.
bool ReadRunParameters(const char* pszServiceName, RunParameters& params,
                       ParametersFailure& failure);

}  // namespace qm::runner
