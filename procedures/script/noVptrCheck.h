// The tokenizer's inner loop calls the script stream buffer for every token
// and nearly every character. Under the undefined-behaviour sanitizer each
// of those calls checks the dynamic type of a stream or stream buffer by a
// hashed look-up, which costs more than the call itself. The functions
// marked with this attribute only work on a stream handed to the tokenizer
// and on the buffer that a type test (typeid) has already identified, so the
// check can tell nothing new there; it stays on everywhere else.
#pragma once

#if defined(__clang__) || defined(__GNUC__)
#define QVR_NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))
#else
#define QVR_NO_VPTR_CHECK
#endif
