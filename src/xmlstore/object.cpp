// The common root class: its virtual destructor is its only operation.
#include <treeval/object.h>

Object::~Object() = default;
