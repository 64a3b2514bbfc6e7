#pragma once

namespace QuillEngine {

// Global instance of an engine service: the constructor publishes the object, the destructor
// clears it. Exactly one object of T exists at a time.
template <class T>
class Singleton {
public:
    static T* Instance() { return s_instance; }

protected:
    Singleton() { s_instance = static_cast<T*>(this); }
    ~Singleton()
    {
        if (s_instance == static_cast<T*>(this))
            s_instance = nullptr;
    }
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

private:
    static inline T* s_instance = nullptr;
};

} // namespace QuillEngine
