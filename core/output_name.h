// Every file the exporter writes or reads by name gets its extension the same
// way: the name ends at its first "." (anywhere, a folder name included) and the
// extension is appended.
#pragma once

#include <cstddef>

// extension includes its dot (".md2"). Changes name in place; 0, with name
// unchanged, when the result and its zero do not fit capacity bytes.
int FormOutputName(char* name, size_t capacity, const char* extension);

// Ends path at its first "."; the Save As answer is handed on this way.
void CutAtFirstDot(char* path);

// Copies at most capacity - 1 characters of source (null: none) and the zero;
// longer texts are cut. capacity is at least 1.
void CopyCut(char* target, size_t capacity, const char* source);
