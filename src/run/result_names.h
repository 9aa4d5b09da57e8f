// Names of the files written beside a data file.
#pragma once

#include <string>

namespace fuzzyart {

// The name with its extension replaced: everything from the first "." of the
// final path component on gives way to the extension; a name without one gets
// it appended. "dir.v2/A.B.DAT" with ".FAC" gives "dir.v2/A.FAC".
std::string replaceExtension(const std::string& name, const std::string& extension);

// True when the name holds one of the result extensions anywhere, in any
// letter case: such a file is the program's own output and is not read.
bool isResultName(const std::string& name);

// The temporary file: beside the data file, or in the -B directory under the
// data file's own final component.
std::string temporaryName(const std::string& dataName, const std::string& tempPath);

}  // namespace fuzzyart
