#include "DocumentBuffer.h"

#include "Exceptions.h"
#include "LineBreaks.h"

TDocumentBuffer::TDocumentBuffer(const TLeadByteSet& leadBytes, std::size_t capacity)
    : FLeadBytes(leadBytes), FCapacity(capacity)
{
}

void TDocumentBuffer::LoadDocument(const AnsiString& name)
{
    const TFileHandle file = OpenSourceFile(name);
    const std::uint64_t size = FileSize(file);
    // Refused before the allocation, so a huge file cannot exhaust memory first.
    if (size > FCapacity)
        throw EInvalidOperation(Messages::MemoTooLarge);
    // The cleared buffer lends its storage to the file's bytes: a batch then reads every page
    // into memory the pages before it have used already, instead of new memory each time. Room
    // beyond the bytes lets the line breaks grow in place. A buffer that holds a text keeps it
    // until the load has succeeded.
    AnsiString bytes;
    if (FText.empty())
        bytes.swap(FText);
    const auto count = static_cast<std::size_t>(size);
    ReserveRoom(bytes, count, count / 16);
    bytes.resize(count);
    ReadWhole(file, bytes.data(), bytes.size());
    AnsiString text = NormaliseLineBreaks(std::move(bytes), FLeadBytes);
    if (text.size() > FCapacity)
        throw EInvalidOperation(Messages::MemoTooLarge);
    // Taking the new text over costs less than comparing it with the old one first, and the
    // bytes held afterwards are the same either way.
    FText = std::move(text);
}

void TDocumentBuffer::AddLine(const AnsiString& line)
{
    // The program only ever adds a line to the empty buffer, and then the line goes into the
    // buffer's own storage, sized once. On a buffer that holds text the new line goes behind it,
    // as a line list would put it.
    if (FText.empty()) {
        FText.reserve(line.size() + 2);
    } else if (FText.size() < 2 || FText.compare(FText.size() - 2, 2, "\r\n") != 0) {
        FText += "\r\n";
    }
    FText += line;
    FText += "\r\n";
}

void TDocumentBuffer::SaveDocument(const AnsiString& name,
                                   const TFileIdentities& keepUnchanged) const
{
    const TFileHandle file = CreateOutputFile(name, keepUnchanged);
    WriteWhole(file, FText.data(), FText.size());
}
