#include "engine/glib_log_capture.h"

#include <glib.h>

namespace corvid {
namespace {

void Keep(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer data) {
    auto* messages = static_cast<std::vector<std::string>*>(data);
    std::string text = domain != nullptr ? std::string(domain) + ": " : std::string();
    if (message != nullptr) text += message;
    if (messages->size() < 16) messages->push_back(std::move(text));
}

}  // namespace

GlibLogCapture::GlibLogCapture() {
    GLogFunc previous = g_log_set_default_handler(Keep, &messages_);
    previousHandler_ = reinterpret_cast<void*>(previous);
    // GLib keeps no getter for the handler's data; the default handler ignores it.
    previousData_ = nullptr;
}

GlibLogCapture::~GlibLogCapture() {
    g_log_set_default_handler(reinterpret_cast<GLogFunc>(previousHandler_), previousData_);
}

std::string GlibLogCapture::FirstOr(const std::string& fallback) const {
    return messages_.empty() ? fallback : messages_.front();
}

}  // namespace corvid
