// How the process's heap takes its memory from the system. Reading a large file builds hundreds of
// thousands of small objects and arrays in fresh memory; taken a 4 KiB page at a time, the first
// touch of each page costs more than the reading itself on some systems (virtual machines above
// all). Called once at the start of a program, before anything else allocates much.
#pragma once

namespace btrieve {

// Lets the heap grow in large steps backed by huge pages where the system offers them, and keeps
// large blocks in the heap rather than in mappings of their own. Advice only: where the system or
// its C library has no such means, nothing changes. What the program computes never depends on it.
void PrepareProcessHeap();

}  // namespace btrieve
