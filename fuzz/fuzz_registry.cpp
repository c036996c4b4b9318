// The settings file, which users may edit by hand.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "platform/RegistryDocument.h"

namespace {

bool SameValues(const RegKey& a, const RegKey& b) {
    if (a.path != b.path || a.values.size() != b.values.size())
        return false;
    for (qsizetype i = 0; i < a.values.size(); ++i) {
        const RegValue& x = a.values[i];
        const RegValue& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList errors;
    const RegistryDocument document = RegistryDocument::Parse(text, &errors);

    // Whatever was read is written so that it reads back exactly, without complaint.
    const QByteArray written = document.Serialize();
    QStringList again;
    const RegistryDocument back = RegistryDocument::Parse(written, &again);
    FUZZ_CHECK(again.isEmpty());
    for (const RegKey& key : document.Keys()) {
        const RegKey* found = back.FindKey(key.path);
        FUZZ_CHECK(found && SameValues(key, *found));
    }
    FUZZ_CHECK(back.Keys().size() == document.Keys().size());
    FUZZ_CHECK(back.Serialize() == written);
    return 0;
}
