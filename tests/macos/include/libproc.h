// Stand-in for the Apple header of this name in the Linux compile check: everything it would
// declare that the sources use is in AppleDeclarations.h, which the check force-includes.
#pragma once
