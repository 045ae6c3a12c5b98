// The JAM layout checker of the JAM tests, compiled into this program as it is.
#include "msgbase/jam/JamChecker.cpp"
