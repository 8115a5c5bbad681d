// The common root of the document store's classes. It holds no data; it
// exists so that every store object can be destroyed through one base.
#ifndef TREEVAL_OBJECT_H
#define TREEVAL_OBJECT_H

class Object {
public:
    virtual ~Object();
};

#endif
