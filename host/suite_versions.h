// The versions of the host suites that this build asks for, and the function
// table each accessor hands out. The 12.10 interface only offers version 1 of
// the handle and parameter-utilities suites; their tables are laid out alike.
#pragma once

#include "host/interface/ae_suites.h"
#include "host/interface/interface_version.h"

#if OSTREL_INTERFACE_12_10
#define OSTREL_HANDLE_SUITE_VERSION kPFHandleSuiteVersion1
#define OSTREL_PARAM_UTILS_SUITE_VERSION kPFParamUtilsSuiteVersion1
typedef PF_HandleSuite1 HandleSuiteTable;
typedef PF_ParamUtilsSuite1 ParamUtilsSuiteTable;
#else
#define OSTREL_HANDLE_SUITE_VERSION kPFHandleSuiteVersion2
#define OSTREL_PARAM_UTILS_SUITE_VERSION kPFParamUtilsSuiteVersion2
typedef PF_HandleSuite2 HandleSuiteTable;
typedef PF_ParamUtilsSuite2 ParamUtilsSuiteTable;
#endif

#define OSTREL_UTILITY_SUITE_VERSION kAEGPUtilitySuiteVersion7
typedef AEGP_UtilitySuite7 UtilitySuiteTable;
