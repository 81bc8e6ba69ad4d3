// Helpers shared by the option tests: counting signals, device entries, and
// writing options to a string.
#ifndef VORN_OPTIONS_TEST_SUPPORT_H
#define VORN_OPTIONS_TEST_SUPPORT_H

#include "DeviceEntry.h"
#include "OptionsDatabase.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vorn::test {

// Counts "vorn_value_changed" emissions of one option.
class SignalCounter {
public:
    explicit SignalCounter(VornOption *option) : option_(option)
    {
        handler_ = g_signal_connect(option, "vorn_value_changed", G_CALLBACK(onChanged), &count_);
    }
    ~SignalCounter() { g_signal_handler_disconnect(option_, handler_); }
    SignalCounter(const SignalCounter &) = delete;
    SignalCounter &operator=(const SignalCounter &) = delete;
    int count() const { return count_; }

private:
    static void onChanged(VornOption *, gpointer data) noexcept { ++*static_cast<int *>(data); }
    VornOption *option_;
    gulong handler_ = 0;
    int count_ = 0;
};

// A device entry owned by the test.
struct Device {
    VornDeviceEntry entry;
    Device(const std::string &name, int hostAdapter, int scsiId)
    {
        options::device_entry::initInvalid(entry);
        options::device_entry::setName(entry, name);
        entry.hostAdapter = hostAdapter;
        entry.deviceId = scsiId;
    }
    const VornDeviceEntry *data() const { return &entry; }
    unsigned char *bytes() { return reinterpret_cast<unsigned char *>(&entry); }
};

inline std::string deviceName(const VornDeviceEntry *entry)
{
    return std::string(options::device_entry::name(*entry));
}

inline const unsigned char *bytesOf(const VornDeviceEntry *entry)
{
    return reinterpret_cast<const unsigned char *>(entry);
}

// Whatever `write` puts into a stream, as a string.
template <class Write>
std::string writtenText(Write write)
{
    char *buffer = nullptr;
    std::size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    write(stream);
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

inline std::string stringValue(OptionsDatabase *database, gint32 id)
{
    gchar *value = OptionsDatabase_GetStringOptionValue(database, id);
    std::string result = value ? value : "<null>";
    g_free(value);
    return result;
}

}  // namespace vorn::test

#endif
