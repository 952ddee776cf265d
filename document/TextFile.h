#pragma once
// A small text format of nested keyword blocks with quoted values:
//   ROOT { NAME "value"; CHILD { ... } }
// Readers skip entries they do not know, nested blocks included.
#include <cstdint>
#include "document/ChunkStream.h"

class CTextReader : public CFileReader {
public:
  CTextReader();

  // The next keyword of the current level; false without error at "}" or the end.
  bool ReadKeyword(char* buffer, int32_t size);
  bool EnterBlock();
  // Skips the rest of the current block and its closing brace; false at depth 0.
  bool LeaveBlock();
  // The next token as a string value; false without error when it is another token.
  bool ReadValue(char* buffer, int32_t size);

  bool Open(const char* path) override;
  int32_t GetDepth() const { return depth; }

private:
  int Peek();  // next character, -1 at the end or after a failure
  void Next();
  void SkipSeparators();
  bool SkipString();
  bool SkipToBlockEnd();

  int32_t depth;
  int lookahead;  // -2 when nothing is buffered
  // Bytes read from the file ahead of the tokenizer.
  uint8_t ahead[4096];
  uint32_t aheadNext;
  uint32_t aheadEnd;
};

class CTextWriter : public CFileWriter {
public:
  CTextWriter();

  bool Create(const char* path) override;
  void CloseAll() override;
  // Ends all open blocks, then closes the file.
  bool Close() override;
  bool BeginBlock(const char* name);
  bool WriteValue(const char* name, const char* value);
  bool EndBlock();

private:
  bool WriteText(const char* text);
  bool LineEnd();

  int32_t depth;
};
