// ContainerData: the file reference of a host container value, read from its 'FNAM' stream or
// from its text form ("imagemac:/Disk/pics/a.jpg" and the like), written into a container's
// 'FNAM' stream, and the test for a stream type.
// Interface: ContHasType, GetContainerFileInfo (either form), GetContainerFileInfo_BinaryData,
// GetContainerFileInfo_Text, SetContainerFileInfo_BinaryData, and the two conversions of a file
// name between its plain and escaped forms. File names handed in and out are
// in the file specification's escaped form ('%' as "%25", '\' as "%5C", '/' as "%2F"); the stream
// holds the plain name.
// Relies on plugin/clsFNAMParser.h for the stream, the parameter extractor and the host-text
// helpers for texts, files/XFileSpec.h for the text form, and the debug log. Host thread only.
// Failures are returned as English texts, empty on success; nothing throws, every output may be
// null (not wanted), and a failed change leaves the container data as it was.
#pragma once

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "platform/fmx/FMXBinaryData.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXText.h"

// The escaped form of a plain name: '%' to "%25", then '\' to "%5C", then '/' to "%2F".
UniString EscapeContainerFileName(UniString const& name);
// The plain name of an escaped one: "%5C" to '\', then "%2F" to '/', then "%25" to '%'.
UniString UnescapeContainerFileName(UniString const& name);

// True when the data holds a stream of the type: a shorter type is padded with blanks ("snd"
// looks for 'snd '), only the first four characters count; no streams or an empty type give false.
bool ContHasType(fmx::BinaryData const& data, AnsiString type);

// The reference of a value: its 'FNAM' stream when it holds any stream, else its text form
// (*fromText then becomes true on success). An empty value is "Container is empty." unless quiet.
UniString GetContainerFileInfo(fmx::Data const& value, UniString* protocol, UniString* path, UniString* fileName,
                               bool* fromText, bool quiet);
// The reference in the 'FNAM' stream; a missing stream is an error unless quiet.
UniString GetContainerFileInfo_BinaryData(fmx::BinaryData const& data, UniString* protocol, UniString* path,
                                          UniString* fileName, bool quiet);
// The first reference line of the text, trying the kinds "imagemac", "imagewin", "moviemac",
// "moviewin", "filemac", "filewin", "image", "movie", "file" in that order; "No Path Found."
// without one. The path is the POSIX folder, the file name the escaped last item. quiet has no
// effect here.
UniString GetContainerFileInfo_Text(fmx::Text const& text, UniString* protocol, UniString* path,
                                    UniString* fileName, bool quiet);
// Replaces the data's 'FNAM' stream by one of the trimmed values. Empty values are taken from
// the old stream when there is one; then an empty protocol is "filemac" and an empty path "/";
// an empty file name is refused.
UniString SetContainerFileInfo_BinaryData(fmx::BinaryDataAutoPtr& data, UniString protocol, UniString path,
                                          UniString fileName);
