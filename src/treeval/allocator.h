// Tunes the process's memory allocator for the document the command is
// about to read. Without a tunable allocator in the build it does nothing.
#ifndef TREEVAL_ALLOCATOR_H
#define TREEVAL_ALLOCATOR_H

// Call once at start, before the file is loaded, with the file's name as
// given on the command line. For a large file it sets memory aside for the
// tree in advance; a missing, small or unreadable file changes nothing.
void tuneAllocatorFor(const char* file);

#endif
