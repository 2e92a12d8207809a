// Compiler specifics, each behind one macro that other compilers read as
// nothing.

#ifndef MERVANE_CGI_COMPILER_H_
#define MERVANE_CGI_COMPILER_H_

// Marks a printf-like function: argument format_index is the format, the
// values start at first_value_index (counting `this` as 1 in members).
#if defined(__GNUC__)
#define MERVANE_PRINTF_FORMAT(format_index, first_value_index) \
  __attribute__((format(printf, format_index, first_value_index)))
#else
#define MERVANE_PRINTF_FORMAT(format_index, first_value_index)
#endif

#endif  // MERVANE_CGI_COMPILER_H_
