// Bounds-checked reading of a Mach-O file's bytes: every read that would leave the file is a
// LoadError naming what was being read.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "emulator/macho/image.h"

namespace emulator::macho {

class Bytes {
  public:
    explicit Bytes(std::string_view data) : data_(data) {}

    size_t size() const { return data_.size(); }
    std::string_view data() const { return data_; }

    // A part of the data; fails when it does not lie inside.
    Bytes slice(uint64_t offset, uint64_t length, const char *what) const {
        if (offset > data_.size() || length > data_.size() - offset) {
            throw LoadError(std::string(what) + " lies outside the file");
        }
        return Bytes(data_.substr(offset, length));
    }

    template <typename T> T little(uint64_t offset, const char *what) const {
        std::string_view raw = slice(offset, sizeof(T), what).data_;
        T value;
        std::memcpy(&value, raw.data(), sizeof(T));
        return value;
    }

    uint32_t big32(uint64_t offset, const char *what) const {
        auto raw = reinterpret_cast<const unsigned char *>(slice(offset, 4, what).data_.data());
        return uint32_t(raw[0]) << 24 | uint32_t(raw[1]) << 16 | uint32_t(raw[2]) << 8 | raw[3];
    }

    uint64_t big64(uint64_t offset, const char *what) const {
        return uint64_t(big32(offset, what)) << 32 | big32(offset + 4, what);
    }

    // A NUL-terminated name starting at `offset`, which must end inside the data.
    std::string cString(uint64_t offset, const char *what) const {
        if (offset >= data_.size()) {
            throw LoadError(std::string(what) + " lies outside the file");
        }
        size_t end = data_.find('\0', offset);
        if (end == std::string_view::npos) {
            throw LoadError(std::string(what) + " has no end");
        }
        return std::string(data_.substr(offset, end - offset));
    }

    // A fixed-width name field (segment and section names), NUL-padded.
    std::string name16(uint64_t offset, const char *what) const {
        std::string_view raw = slice(offset, 16, what).data_;
        return std::string(raw.substr(0, std::min(raw.find('\0'), raw.size())));
    }

  private:
    std::string_view data_;
};

// ULEB128 and SLEB128, as the loader's opcode streams encode numbers.
class Stream {
  public:
    Stream(Bytes bytes, const char *what) : bytes_(bytes), what_(what) {}
    bool done() const { return at_ >= bytes_.size(); }
    uint8_t byte() { return bytes_.little<uint8_t>(at_++, what_); }
    uint64_t uleb() {
        uint64_t value = 0;
        for (int shift = 0;; shift += 7) {
            uint8_t b = byte();
            if (shift >= 64 || (shift == 63 && (b & 0x7e))) {
                throw LoadError(std::string(what_) + " holds a number too large");
            }
            value |= uint64_t(b & 0x7f) << shift;
            if (!(b & 0x80)) {
                return value;
            }
        }
    }
    int64_t sleb() {
        uint64_t value = 0;
        int shift = 0;
        uint8_t b;
        do {
            b = byte();
            if (shift >= 64) {
                throw LoadError(std::string(what_) + " holds a number too large");
            }
            value |= uint64_t(b & 0x7f) << shift;
            shift += 7;
        } while (b & 0x80);
        if (shift < 64 && (b & 0x40)) {
            value |= ~uint64_t(0) << shift;
        }
        return static_cast<int64_t>(value);
    }
    std::string cString() {
        std::string text = bytes_.cString(at_, what_);
        at_ += text.size() + 1;
        return text;
    }

  private:
    Bytes bytes_;
    const char *what_;
    uint64_t at_ = 0;
};

} // namespace emulator::macho
