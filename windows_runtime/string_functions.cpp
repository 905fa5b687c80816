// The string and memory functions that the compiler and the exception
// runtime call. Built with -fno-builtin -fno-tree-loop-distribute-patterns:
// otherwise GCC recognises each loop and compiles it into a call to the very
// function it implements.
#include <stddef.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
    return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    if (to < from) {
        for (size_t i = 0; i < count; ++i) to[i] = from[i];
    } else {
        for (size_t i = count; i > 0; --i) to[i - 1] = from[i - 1];
    }
    return destination;
}

void* memset(void* destination, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    for (size_t i = 0; i < count; ++i) to[i] = static_cast<unsigned char>(value);
    return destination;
}

int memcmp(const void* first, const void* second, size_t count) {
    const unsigned char* a = static_cast<const unsigned char*>(first);
    const unsigned char* b = static_cast<const unsigned char*>(second);
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

size_t strlen(const char* text) {
    size_t length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

int strncmp(const char* first, const char* second, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        unsigned char a = static_cast<unsigned char>(first[i]);
        unsigned char b = static_cast<unsigned char>(second[i]);
        if (a != b) return a < b ? -1 : 1;
        if (a == '\0') return 0;
    }
    return 0;
}

int strcmp(const char* first, const char* second) {
    return strncmp(first, second, static_cast<size_t>(-1));
}

}  // extern "C"
