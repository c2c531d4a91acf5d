#pragma once

#include "AnsiString.h"
#include "CodePage.h"
#include "FileAccess.h"

#include <cstddef>

// The document buffer through which every page passes on its way from source to output. It
// holds one text and keeps every byte of it, zero bytes included.
class TDocumentBuffer {
public:
    static constexpr std::size_t DefaultCapacity = 0x7FFFFFFE;

    explicit TDocumentBuffer(const TLeadByteSet& leadBytes, std::size_t capacity = DefaultCapacity);

    std::size_t Capacity() const noexcept { return FCapacity; }

    // Replaces the text by the file's bytes with their line breaks normalised.
    // Raises EFOpenError when the file cannot be opened (the text stays as it was),
    // EInvalidOperation ("文字列の大きさが ﾒﾓ の制限を越えました") when the file or its normalised
    // text is larger than the capacity (nothing is allocated for an oversized file), and
    // EReadError when the file does not deliver its size in bytes.
    void LoadDocument(const AnsiString& name);

    // The whole text.
    AnsiString DocumentText() const { return FText; }
    const AnsiString& Text() const noexcept { return FText; }

    void ClearDocument() noexcept { FText.clear(); }

    // Adds a line to the empty buffer: the text becomes `line` followed by CR LF.
    void AddLine(const AnsiString& line);

    // Writes the whole text to the file, created or replaced. Raises EFCreateError when it
    // cannot be created (see CreateOutputFile; nothing is written) and EWriteError when not every
    // byte reaches it (the file keeps what was written).
    void SaveDocument(const AnsiString& name, const TFileIdentities& keepUnchanged = {}) const;

private:
    const TLeadByteSet& FLeadBytes;
    std::size_t FCapacity;
    AnsiString FText = "Memo1";
};

// The capacity to reserve for a text of `size` bytes that may grow by up to `growth` bytes in
// place. With the terminating zero it comes to whole steps of 64 KiB, so the buffers that pages
// of about the same size go through all have one size, and each can take the place the one
// before it left in the heap rather than leave it behind as a hole. Never less than
// size + growth; raises nothing.
inline std::size_t StorageFor(std::size_t size, std::size_t growth) noexcept
{
    constexpr std::size_t step = std::size_t{64} << 10;
    const std::size_t storage = size + growth + 1;
    return storage + (step - storage % step) % step - 1;
}

// Makes sure `text` has storage for `size` bytes plus `growth`, in the steps of StorageFor. Storage
// that is too small goes first, with what it holds, so that the larger can take its place in the
// heap; the caller fills the text afterwards.
inline void ReserveRoom(AnsiString& text, std::size_t size, std::size_t growth)
{
    if (text.capacity() >= size + growth)
        return;
    AnsiString().swap(text);
    text.reserve(StorageFor(size, growth));
}
