#pragma once
// SgRef: a counted reference to an engine object (anything with IncRef/DecRef, i.e. SgObject and
// its subclasses). The object deletes itself when the last reference lets go.

// A counted reference: holds one count on the object while it points at it.
template <class T>
class SgRef {
public:
    SgRef() = default;
    SgRef(T* p) : p_(p) { Acquire(); }
    SgRef(const SgRef& o) : p_(o.p_) { Acquire(); }
    SgRef(SgRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    template <class U>
    SgRef(const SgRef<U>& o) : p_(o.Get()) { Acquire(); }
    ~SgRef() { Release(); }

    SgRef& operator=(T* p) {
        if (p != p_) {
            T* old = p_;
            p_ = p;
            Acquire();
            if (old)
                old->DecRef();
        }
        return *this;
    }
    SgRef& operator=(const SgRef& o) { return *this = o.p_; }
    SgRef& operator=(SgRef&& o) noexcept {
        if (this != &o) {
            T* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old)
                old->DecRef();
        }
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const T* p) const { return p_ == p; }

private:
    void Acquire() {
        if (p_)
            p_->IncRef();
    }
    void Release() {
        if (p_)
            p_->DecRef();
        p_ = nullptr;
    }

    T* p_ = nullptr;
};
