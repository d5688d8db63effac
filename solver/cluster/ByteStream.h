#pragma once

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "GlowbakeError.h"

// Plain values packed one after another into bytes and read back in the same
// order, for sending between processes of one run (the same program on the
// same kind of machine, so no byte order is converted).
struct ByteWriter {
    std::vector<char> bytes;

    template <typename T>
    void put(const T& value) {
        static_assert(std::is_trivially_copyable<T>::value, "plain values only");
        putRaw(&value, sizeof(T));
    }
    template <typename T>
    void putVector(const std::vector<T>& values) {
        static_assert(std::is_trivially_copyable<T>::value, "plain values only");
        put(static_cast<long long>(values.size()));
        putRaw(values.data(), values.size() * sizeof(T));
    }
    void putString(const std::string& s) {
        put(static_cast<long long>(s.size()));
        putRaw(s.data(), s.size());
    }
    void putRaw(const void* data, std::size_t n) {
        if (n == 0) return;
        const std::size_t at = bytes.size();
        bytes.resize(at + n);
        std::memcpy(bytes.data() + at, data, n);
    }
};

struct ByteReader {
    const std::vector<char>& bytes;
    std::size_t at = 0;

    explicit ByteReader(const std::vector<char>& b) : bytes(b) {}

    template <typename T>
    T get() {
        static_assert(std::is_trivially_copyable<T>::value, "plain values only");
        T value;
        getRaw(&value, sizeof(T));
        return value;
    }
    template <typename T>
    std::vector<T> getVector() {
        const long long n = get<long long>();
        if (n < 0 || static_cast<unsigned long long>(n) > (bytes.size() - at) / sizeof(T))
            throw GlowbakeError("a message between processes is cut short");
        std::vector<T> values(static_cast<std::size_t>(n));
        getRaw(values.data(), values.size() * sizeof(T));
        return values;
    }
    std::string getString() {
        const std::vector<char> chars = getVector<char>();
        return std::string(chars.begin(), chars.end());
    }
    void getRaw(void* out, std::size_t n) {
        if (n > bytes.size() - at) throw GlowbakeError("a message between processes is cut short");
        if (n > 0) std::memcpy(out, bytes.data() + at, n);
        at += n;
    }
    bool atEnd() const { return at == bytes.size(); }
};
