// The Squish layout checker of the Squish tests, compiled into this program as it is.
#include "msgbase/squish/SquishLayout.cpp"
