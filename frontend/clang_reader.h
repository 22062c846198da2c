// Reading one C file with libclang into the syntax tree of a project.
//
// Ownership: the new file node and every node below it are adopted by the
// given project.
#ifndef VORL_FRONTEND_CLANG_READER_H
#define VORL_FRONTEND_CLANG_READER_H

#include <string>
#include <vector>

#include "frontend/sg_project.h"

// Parses the file at path with the given parser arguments (language,
// standard, preprocessor switches) and appends its file node to the project.
// Ends the process (status 1) on a missing or unreadable file or any parse
// error, after writing the diagnostics on the error stream.
SgSourceFile* read_c_file(SgProject* project, const std::string& path,
                          const std::vector<std::string>& parser_arguments);

#endif
