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
    AnsiString bytes(static_cast<std::size_t>(size), '\0');
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
    AddLine(AnsiString(line));
}

void TDocumentBuffer::AddLine(AnsiString&& line)
{
    // The program only ever adds a line to the empty buffer; on a buffer that holds text the new
    // line goes behind it, as a line list would put it.
    line += "\r\n";
    if (FText.empty()) {
        FText = std::move(line);
        return;
    }
    if (FText.size() < 2 || FText.compare(FText.size() - 2, 2, "\r\n") != 0)
        FText += "\r\n";
    FText += line;
}

void TDocumentBuffer::SaveDocument(const AnsiString& name,
                                   const TFileIdentities& keepUnchanged) const
{
    const TFileHandle file = CreateOutputFile(name, keepUnchanged);
    WriteWhole(file, FText.data(), FText.size());
}
