#include "host/suite_handler.h"

namespace {

struct SuiteName {
    const char* name;
    A_long version;
};

// Indexed by SuiteHandler's slots, so the release walk follows this order.
constexpr SuiteName kSuiteNames[] = {
    {kPFParamUtilsSuite, OSTREL_PARAM_UTILS_SUITE_VERSION},
    {kAEGPUtilitySuite, OSTREL_UTILITY_SUITE_VERSION},
#if OSTREL_INTERFACE_12_10
    {kPFANSISuite, kPFANSISuiteVersion1},
#endif
    {kPFHandleSuite, OSTREL_HANDLE_SUITE_VERSION},
};

const char kDefaultAcquireMessage[] = "Not able to acquire AEFX Suite.";
const char kDefaultReleaseMessage[] = "Not able to release AEFX Suite.";

PF_Err ReportSuiteFailure(PF_InData* in_data, PF_OutData* out_data, const char* message) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    in_data->utils->ansi.sprintf(out_data->return_msg, message);
    return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace

SuiteHandler::SuiteHandler(SPBasicSuite* basic_suite) : basic_suite_(basic_suite), suites_() {
    static_assert(sizeof(kSuiteNames) / sizeof(kSuiteNames[0]) == SlotCount,
                  "one name per cache slot");
    if (!basic_suite_) {
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
}

SuiteHandler::~SuiteHandler() {
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (suites_[slot]) {
            // A failed release cannot be mended from here; the host keeps its books.
            basic_suite_->ReleaseSuite(kSuiteNames[slot].name, kSuiteNames[slot].version);
        }
    }
}

const void* SuiteHandler::Acquire(Slot slot) {
    if (suites_[slot]) {
        return suites_[slot];
    }
    const void* table = nullptr;
    const SPErr err =
        basic_suite_->AcquireSuite(kSuiteNames[slot].name, kSuiteNames[slot].version, &table);
    // A table handed out with an error is not ours to use, nor to release.
    if (err || !table) {
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
    suites_[slot] = table;
    return table;
}

const HandleSuiteTable* SuiteHandler::HandleSuite() {
    return static_cast<const HandleSuiteTable*>(Acquire(SlotHandle));
}

const UtilitySuiteTable* SuiteHandler::UtilitySuite() {
    return static_cast<const UtilitySuiteTable*>(Acquire(SlotUtility));
}

const ParamUtilsSuiteTable* SuiteHandler::ParamUtilsSuite() {
    return static_cast<const ParamUtilsSuiteTable*>(Acquire(SlotParamUtils));
}

#if OSTREL_INTERFACE_12_10
const PF_ANSICallbacksSuite1* SuiteHandler::AnsiSuite() {
    return static_cast<const PF_ANSICallbacksSuite1*>(Acquire(SlotAnsi));
}
#endif

PF_Err AcquireSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message, const void** suite) {
    if (in_data->pica_basicP) {
        // A table handed out with an error was not acquired: using it, and
        // later releasing it, would pass a refusal off as success.
        const SPErr err = in_data->pica_basicP->AcquireSuite(name, version, suite);
        if (!err && *suite) {
            return PF_Err_NONE;
        }
        *suite = nullptr;
    }
    return ReportSuiteFailure(in_data, out_data, message ? message : kDefaultAcquireMessage);
}

PF_Err ReleaseSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message) {
    if (in_data->pica_basicP) {
        in_data->pica_basicP->ReleaseSuite(name, version);
        return PF_Err_NONE;
    }
    return ReportSuiteFailure(in_data, out_data, message ? message : kDefaultReleaseMessage);
}
