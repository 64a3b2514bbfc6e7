#pragma once

namespace QuillEngine {

// Global instance of an engine service: the constructor publishes the object, the destructor
// clears it. Exactly one object of T exists at a time.
template <class T>
class Singleton {
public:
    // The cast happens here, on a finished object: casting in the constructor would name a
    // T that does not exist yet.
    static T* Instance() { return static_cast<T*>(s_instance); }

protected:
    Singleton() { s_instance = this; }
    ~Singleton()
    {
        if (s_instance == this)
            s_instance = nullptr;
    }
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

private:
    static inline Singleton* s_instance = nullptr;
};

} // namespace QuillEngine
