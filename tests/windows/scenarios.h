// One table of scenarios that every build of the effect runs through the
// stand-in host: natively, as the x86-64 DLL under wine64 and as the i386
// variant under qemu-i386. Each scenario prints one line with its result code
// and a digest of everything it observed (texts, flags, controls, rendered
// pixels), and the lines of two builds are compared: equal lines, equal
// behaviour, bit for bit.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "standin_host/standin_host.h"

namespace scenarios {

// FNV-1a over the bytes of everything added, in order.
class Digest {
  public:
    void AddBytes(const void* data, size_t size);
    void AddInt(int64_t value);
    void AddText(const char* text);
    uint64_t value() const { return hash_; }

  private:
    uint64_t hash_ = 14695981039346656037ull;
};

struct Scenario {
    std::string name;
    // False where the 12.10 interface answers differently (the About text,
    // the general command, registration under Premiere): such lines are
    // compared only between builds of the same interface.
    bool same_in_every_interface;
    // The code the scenario must end with, in every build.
    PF_Err expected;
    // Runs on a fresh host; returns the code it ends with.
    std::function<PF_Err(standin::Host& host, Digest* digest)> run;
};

const std::vector<Scenario>& AllScenarios();

// Runs every scenario against the entry point and prints
// "<name> <interface-independent: shared|own> <code> <digest>" per line, and
// a line starting with "FAIL" for each code that is not the expected one and
// for each scenario that leaves the host's books unbalanced. Returns the
// number of such failures.
int RunAll(PF_EntryPointFunc entry_point, FILE* out);

}  // namespace scenarios
