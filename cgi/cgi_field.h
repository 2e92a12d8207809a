// One raw field of a request ("name=value", still URL-encoded): splitting
// it into its decoded name and value.
//
// The field is split first and decoded afterwards, so an encoded "=" (%3D)
// in a name or an encoded "&" (%26) anywhere survives as a literal
// character.

#ifndef MERVANE_CGI_CGI_FIELD_H_
#define MERVANE_CGI_CGI_FIELD_H_

#include <string>

namespace mervane {

// Splits field at its first "=" into *name and *value and decodes both.
// The value ends at the first raw carriage return, line feed or tab; later
// "=" belong to it. A field without "=" gives its whole text as the name and
// an empty value; an empty field an empty name and value. Returns 1, or 0
// (clearing both) when the field begins with "=". The field is read as a
// zero-terminated text: a zero byte ends it.
int SplitField(const std::string& field, std::string* name, std::string* value);

// text with "+" made a blank and "%" followed by up to two hexadecimal
// digits (either case) made the byte they give ("%4" at the end gives 0x04,
// "%2G" gives 0x02 and swallows the G). The "%" and the two characters after
// it, whatever they are, are always consumed; when the first of them is not a
// hexadecimal digit (or there is none) the byte is kUndecodableByte. Never
// reads past the end of text.
std::string UrlDecode(const std::string& text);
constexpr char kUndecodableByte = '?';

// Removes leading blanks, tabs, line feeds and carriage returns.
void TrimLeft(std::string* text);

}  // namespace mervane

#endif  // MERVANE_CGI_CGI_FIELD_H_
