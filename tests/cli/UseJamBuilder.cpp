// The JAM builder of the JAM tests, compiled into this program as it is.
#include "msgbase/jam/JamBuilder.cpp"
