// The Squish builder and checker of the Squish tests, compiled into this program as they are.
#include "msgbase/squish/SquishLayout.cpp"
