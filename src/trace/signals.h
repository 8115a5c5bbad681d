// The conversion behind Logger::decSignal, kept apart so that it can be
// checked although the hook it feeds has no effect.
#ifndef TREEVAL_TRACE_SIGNALS_H
#define TREEVAL_TRACE_SIGNALS_H

// The 32-bit number whose hexadecimal digits are the decimal digits of code
// (1234 gives 0x1234); digits that do not fit in 32 bits are dropped.
unsigned int decimalDigitsAsHex(unsigned int code);

#endif
