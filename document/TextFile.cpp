#include "document/TextFile.h"
#include <cctype>
#include <cstring>

namespace {

bool IsKeywordStart(int c) { return c >= 0 && c < 128 && std::isalpha(c); }
bool IsKeywordChar(int c) { return c >= 0 && c < 128 && (std::isalnum(c) || c == '.'); }
// Characters outside the graphic class separate tokens.
bool IsSeparator(int c) { return !(c >= 0 && c < 128 && std::isgraph(c)); }

}  // namespace

// Reader.

CTextReader::CTextReader() : depth(0), lookahead(-2), aheadNext(0), aheadEnd(0) {}

bool CTextReader::Open(const char* path) {
  depth = 0;
  lookahead = -2;
  aheadNext = aheadEnd = 0;
  return CFileReader::Open(path);
}

int CTextReader::Peek() {
  if (lookahead != -2)
    return lookahead;
  if (aheadNext == aheadEnd) {
    aheadNext = aheadEnd = 0;
    if (!IsOpen() || error.IsFailed() || AtEnd()) {
      lookahead = -1;
      return lookahead;
    }
    // As much as the file still holds, up to the buffer's size.
    const uint64_t size = GetFileSize();
    const uint64_t position = GetPosition();
    uint32_t count = sizeof ahead;
    if (size > position && size - position < count)
      count = static_cast<uint32_t>(size - position);
    if (!Read(ahead, count)) {
      lookahead = -1;
      return lookahead;
    }
    aheadEnd = count;
  }
  lookahead = ahead[aheadNext++];
  return lookahead;
}

void CTextReader::Next() { lookahead = -2; }

void CTextReader::SkipSeparators() {
  for (int c = Peek(); c >= 0 && IsSeparator(c); c = Peek())
    Next();
}

// At an opening quote: consumes the whole string.
bool CTextReader::SkipString() {
  Next();
  for (;;) {
    int c = Peek();
    if (c < 0)
      return error.SetError("Invalid data");
    Next();
    if (c == '"') {
      if (Peek() != '"')
        return true;
      Next();
    }
  }
}

// Consumes everything up to and including the brace that closes the current block.
bool CTextReader::SkipToBlockEnd() {
  int32_t level = 1;
  for (;;) {
    SkipSeparators();
    int c = Peek();
    if (c < 0)
      return error.SetError("Invalid data");
    if (c == '"') {
      if (!SkipString())
        return false;
    } else if (c == '{') {
      Next();
      ++level;
    } else if (c == '}') {
      Next();
      if (--level == 0)
        return true;
    } else if (c == ';' || IsKeywordChar(c)) {
      Next();
    } else {
      return error.SetError("Invalid Data");
    }
  }
}

bool CTextReader::ReadKeyword(char* buffer, int32_t size) {
  if (!buffer || size <= 1)
    return error.SetError("Buffer is too small");
  buffer[0] = 0;
  for (;;) {
    SkipSeparators();
    int c = Peek();
    if (c < 0 || c == '}')
      return false;
    if (IsKeywordStart(c)) {
      int32_t length = 0;
      while (IsKeywordChar(c = Peek())) {
        if (length >= size - 1)
          return error.SetError("Keyword is too long");
        buffer[length++] = static_cast<char>(c);
        Next();
      }
      buffer[length] = 0;
      return true;
    }
    if (c == '"') {
      if (!SkipString())
        return false;
    } else if (c == ';') {
      Next();
    } else if (c == '{') {
      Next();
      if (!SkipToBlockEnd())
        return false;
    } else {
      return error.SetError("Invalid Data");
    }
  }
}

bool CTextReader::EnterBlock() {
  SkipSeparators();
  if (Peek() != '{')
    return error.SetError("Invalid data");
  Next();
  ++depth;
  return true;
}

bool CTextReader::LeaveBlock() {
  if (depth <= 0)
    return false;
  if (!SkipToBlockEnd())
    return false;
  --depth;
  return true;
}

bool CTextReader::ReadValue(char* buffer, int32_t size) {
  if (!buffer || size <= 1)
    return error.SetError("Buffer is too small");
  buffer[0] = 0;
  SkipSeparators();
  int c = Peek();
  if (c < 0 || c == ';' || c == '{' || c == '}' || IsKeywordStart(c))
    return false;
  if (c != '"')
    return error.SetError("Invalid Data");
  Next();
  int32_t length = 0;
  for (;;) {
    c = Peek();
    if (c < 0)
      return error.SetError("Invalid data");
    Next();
    if (c == '"') {
      if (Peek() != '"')
        break;
      Next();
    }
    if (length >= size - 1)
      return error.SetError("Value is too long");
    buffer[length++] = static_cast<char>(c);
  }
  buffer[length] = 0;
  return true;
}

// Writer.

CTextWriter::CTextWriter() : depth(0) {}

bool CTextWriter::Create(const char* path) {
  depth = 0;
  return CFileWriter::Create(path);
}

void CTextWriter::CloseAll() {
  depth = 0;
  CFileWriter::CloseAll();
}

bool CTextWriter::WriteText(const char* text) {
  return Write(text, static_cast<uint32_t>(std::strlen(text)));
}

bool CTextWriter::LineEnd() {
  if (!WriteText("\r\n"))
    return false;
  for (int32_t i = 0; i < depth; ++i)
    if (!WriteText(" "))
      return false;
  return true;
}

bool CTextWriter::BeginBlock(const char* name) {
  if (!WriteText(name))
    return false;
  ++depth;
  return LineEnd() && WriteText("{") && LineEnd();
}

bool CTextWriter::WriteValue(const char* name, const char* value) {
  return WriteText(name) && WriteText(" \"") && WriteText(value) && WriteText("\";") && LineEnd();
}

bool CTextWriter::EndBlock() {
  if (depth > 0)
    --depth;
  return WriteText("}") && LineEnd();
}

bool CTextWriter::Close() {
  while (depth > 0 && IsOpen())
    if (!EndBlock())
      break;
  depth = 0;
  return CFileWriter::Close();
}
