// The comparison of two open files, the same on every system: it needs only InputFile.

#include "platform/FileSystem.h"

namespace platform {

Sameness CompareFiles(const InputFile& a, const InputFile& b) {
    if (a.Size() != b.Size())
        return a.Unchanged() && b.Unchanged() ? Sameness::Different : Sameness::Unreadable;
    constexpr std::size_t Piece = std::size_t{1} << 20;
    for (std::uint64_t offset = 0; offset < a.Size(); offset += Piece) {
        const auto left = a.ReadAt(offset, Piece);
        const auto right = b.ReadAt(offset, Piece);
        if (!left || !right || left->size() != right->size() || left->empty())
            return Sameness::Unreadable; // cut short: the file changed under the read
        if (*left != *right)
            return a.Unchanged() && b.Unchanged() ? Sameness::Different : Sameness::Unreadable;
    }
    return a.Unchanged() && b.Unchanged() ? Sameness::Same : Sameness::Unreadable;
}

} // namespace platform
