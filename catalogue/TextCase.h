// Text of the stores as characters: a byte string is UTF-8 when it is valid
// UTF-8, else Windows-1252, and letters compare without case in both.
#pragma once

#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view strBytes);
// The character of a Windows-1252 byte; the five unassigned codes keep their
// value.
char32_t Cp1252Char(unsigned char c);
// The characters of a byte string: UTF-8 when valid, else Windows-1252.
void DecodeText(std::string_view strBytes, std::u32string& strOut);
// Appends the UTF-8 bytes of the character.
void AppendUtf8(std::string& str, char32_t ch);
// The text as UTF-8: a valid UTF-8 string unchanged, else its Windows-1252
// characters encoded. Names cross to the file system in this form.
std::string TextAsUtf8(std::string_view strBytes);
// The lower-case letter of an upper-case one, for the letters of Latin-1,
// Latin Extended-A, Windows-1252, Greek and Cyrillic; others stay.
char32_t FoldCase(char32_t ch);
// DecodeText, then FoldCase on every character.
void FoldText(std::string_view strBytes, std::u32string& strOut);
