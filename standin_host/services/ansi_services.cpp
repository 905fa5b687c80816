#include "standin_host/services/ansi_services.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace standin {
namespace {

// Wrappers: the standard library's functions may not have their address taken.
double Atan(double x) { return std::atan(x); }
double Atan2(double y, double x) { return std::atan2(y, x); }
double Ceil(double x) { return std::ceil(x); }
double Cos(double x) { return std::cos(x); }
double Exp(double x) { return std::exp(x); }
double Fabs(double x) { return std::fabs(x); }
double Floor(double x) { return std::floor(x); }
double Fmod(double x, double y) { return std::fmod(x, y); }
double Hypot(double x, double y) { return std::hypot(x, y); }
double Log(double x) { return std::log(x); }
double Log10(double x) { return std::log10(x); }
double Pow(double x, double y) { return std::pow(x, y); }
double Sin(double x) { return std::sin(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }
double Asin(double x) { return std::asin(x); }
double Acos(double x) { return std::acos(x); }

int Sprintf(A_char* buffer, const A_char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsprintf(buffer, format, arguments);
    va_end(arguments);
    return written;
}

A_char* Strcpy(A_char* dest, const A_char* src) { return std::strcpy(dest, src); }

}  // namespace

PF_ANSICallbacks AnsiCallbacks() {
    PF_ANSICallbacks ansi{};
    ansi.atan = Atan;
    ansi.atan2 = Atan2;
    ansi.ceil = Ceil;
    ansi.cos = Cos;
    ansi.exp = Exp;
    ansi.fabs = Fabs;
    ansi.floor = Floor;
    ansi.fmod = Fmod;
    ansi.hypot = Hypot;
    ansi.log = Log;
    ansi.log10 = Log10;
    ansi.pow = Pow;
    ansi.sin = Sin;
    ansi.sqrt = Sqrt;
    ansi.tan = Tan;
    ansi.sprintf = Sprintf;
    ansi.strcpy = Strcpy;
    ansi.asin = Asin;
    ansi.acos = Acos;
    return ansi;
}

}  // namespace standin
