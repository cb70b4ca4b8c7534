#pragma once
// While alive, GLib log messages (libgsf's warnings and criticals) are kept
// here instead of being printed. Not for use on two threads at once.

#include <string>
#include <vector>

namespace corvid {

class GlibLogCapture {
public:
    GlibLogCapture();
    ~GlibLogCapture();
    GlibLogCapture(const GlibLogCapture&) = delete;
    GlibLogCapture& operator=(const GlibLogCapture&) = delete;

    const std::vector<std::string>& Messages() const { return messages_; }
    // The first message, or `fallback` when there was none.
    std::string FirstOr(const std::string& fallback) const;

private:
    std::vector<std::string> messages_;
    void* previousHandler_;
    void* previousData_;
};

}  // namespace corvid
