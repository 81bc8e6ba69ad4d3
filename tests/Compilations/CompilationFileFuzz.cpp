// libFuzzer target: any bytes as a compilation file. The reader must not
// crash or hang, and every dialog it asks gets Cancel.
#include "CompilationFileReader.h"
#include "DialogBox/DialogResponder.h"
#include "OptionsDatabase.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

class CancelEverything : public vorn::dialogs::DialogResponder {
public:
    std::optional<vorn::dialogs::DialogAnswer> answer(const vorn::dialogs::DialogRequest &) override
    {
        return vorn::dialogs::DialogAnswer{vorn::dialogs::response::Cancel, {}, {}, {}};
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    OptionsDatabase_InitDatabases();
    vorn::dialogs::installResponder(std::make_shared<CancelEverything>());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vorn::compilationfile::LoadObserver observer;
    vorn::compilationfile::CompilationReader reader(&observer, nullptr, nullptr);
    // Pieces of at most 255 bytes, as the file is read.
    for (std::size_t at = 0; at < size; at += 255)
        if (!reader.feed(reinterpret_cast<const char *>(data) + at, size - at < 255 ? size - at : 255))
            break;
    vorn::compilationfile::LoadResult result = reader.finish();
    if (result.compilation)
        g_object_unref(result.compilation);
    return 0;
}
