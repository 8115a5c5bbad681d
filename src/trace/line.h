// Composing one log line: the time stamp, the level's tag, the message and a
// suffix. Shared by the functors and the result tracers; writing the line is
// left to Logger::output.
#ifndef TREEVAL_TRACE_LINE_H
#define TREEVAL_TRACE_LINE_H

#include <ctime>
#include <string>

// "[dd.mm.yyyy hh:mm:ss]" on the 12-hour clock with no AM or PM marker.
std::string formatTimeStamp(const std::tm& when);

// The eight-character tag of a single level, or "" for any other value.
const char* levelTag(unsigned int level);

// The stamp for the current local time, a blank, the tag, text and suffix.
std::string composeLine(unsigned int level, const std::string& text, const char* suffix);

// What a result tracer puts after a message written at this level.
const char* resultSuffix(unsigned int level);

#endif
