// Access to the host's suites. A SuiteHandler lives in one command handler's
// scope: it acquires each suite on first use, keeps it, throws the host's
// error code when a suite is refused, and releases what it holds on every way
// out, a thrown code included.
#pragma once

#include "host/interface/ae_effect.h"
#include "host/suite_versions.h"

class SuiteHandler {
  public:
    // Throws PF_Err_BAD_CALLBACK_PARAM when the host gave no basic suite.
    explicit SuiteHandler(SPBasicSuite* basic_suite);
    ~SuiteHandler();

    SuiteHandler(const SuiteHandler&) = delete;
    SuiteHandler& operator=(const SuiteHandler&) = delete;

    // Each throws PF_Err_BAD_CALLBACK_PARAM when the host refuses the suite.
    const HandleSuiteTable* HandleSuite();
    const UtilitySuiteTable* UtilitySuite();
    const ParamUtilsSuiteTable* ParamUtilsSuite();
#if OSTREL_INTERFACE_12_10
    const PF_ANSICallbacksSuite1* AnsiSuite();
#endif

  private:
    // Cache slots, in the order in which the suites are released.
    enum Slot {
        SlotParamUtils,
        SlotUtility,
#if OSTREL_INTERFACE_12_10
        SlotAnsi,
#endif
        SlotHandle,
        SlotCount
    };

    const void* Acquire(Slot slot);

    SPBasicSuite* basic_suite_;
    const void* suites_[SlotCount];
};

// Acquire or release one suite explicitly. On failure they leave `message` (or
// a default) for the user and return PF_Err_BAD_CALLBACK_PARAM instead of
// throwing. Every successful acquisition is the caller's to release once.
PF_Err AcquireSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message, const void** suite);
PF_Err ReleaseSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message);

// The same, typed by the suite's table.
template <typename Suite>
PF_Err AcquireSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message, const Suite** suite) {
    const void* table = *suite;
    const PF_Err err = AcquireSuiteOrReport(in_data, out_data, name, version, message, &table);
    *suite = static_cast<const Suite*>(table);
    return err;
}
