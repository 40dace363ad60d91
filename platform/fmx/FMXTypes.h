// FMXTypes: the scalar types, error codes, owning holders, four-character codes and locales of
// the host's plug-in SDK stand-in.
// Interface: fmx::int16/uint32/... , fmx::errcode and its codes, fmx::AutoPtr<T> (and the
// QuadCharAutoPtr/LocaleAutoPtr holders), fmx::QuadChar, fmx::Locale.
// Relies on the standard library only. QuadChar::operator[] throws std::out_of_range on a bad index.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace fmx {

typedef int8_t int8;
typedef uint8_t uint8;
typedef unsigned char uchar;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;
typedef uint16_t unichar16;
typedef uintptr_t ptrtype;

// Result of every host operation: 0 is success.
typedef int16_t errcode;

enum : errcode {
  kNoErr = 0,
  kErrNoHost = 1,       // no host has installed its services
  kErrBadArgument = 2,  // a null pointer, a bad index or a range outside the value
  kErrDuplicate = 3,    // the item (stream type, function id) exists already
  kErrNotFound = 4,     // the item asked for does not exist
  kErrUnknown = 5       // the host failed for a reason of its own
};

// AutoPtr<T>: owns one SDK object created on construction, as the host's holders do.
// Constructor arguments are passed to T's constructor; not copyable.
template <class T>
class AutoPtr {
 public:
  AutoPtr() : m_ptr(new T()) {}
  template <class A, class... Args,
            class = typename std::enable_if<!std::is_same<typename std::decay<A>::type, AutoPtr>::value>::type>
  explicit AutoPtr(A&& first, Args&&... rest) : m_ptr(new T(std::forward<A>(first), std::forward<Args>(rest)...)) {}
  ~AutoPtr() { delete m_ptr; }
  AutoPtr(AutoPtr const&) = delete;
  AutoPtr& operator=(AutoPtr const&) = delete;

  T* operator->() const { return m_ptr; }
  T& operator*() const { return *m_ptr; }
  T* get() const { return m_ptr; }

 private:
  T* m_ptr;
};

// QuadChar: a four-character type code such as 'JPEG'. Characters are bytes; index 0 is the first.
class QuadChar {
 public:
  QuadChar();
  QuadChar(char c0, char c1, char c2, char c3);

  uchar& operator[](int index);
  const uchar& operator[](int index) const;

  // The code as a Mac OS type: the first character is the most significant byte.
  uint32 GetMacType() const;
  void SetMacType(uint32 type);

  bool operator==(QuadChar const& other) const;
  bool operator!=(QuadChar const& other) const { return !(*this == other); }
  bool operator<(QuadChar const& other) const;

 private:
  uchar m_chars[4];
};

// Locale: the host's locale for turning values into text; only its kind is kept.
class Locale {
 public:
  enum Type : int32 { kType_None = 0, kType_Current = 1 };
  explicit Locale(int32 type = kType_Current) : m_type(type) {}
  int32 GetType() const { return m_type; }
  bool operator==(Locale const& other) const { return m_type == other.m_type; }

 private:
  int32 m_type;
};

typedef AutoPtr<QuadChar> QuadCharAutoPtr;
typedef AutoPtr<Locale> LocaleAutoPtr;

}  // namespace fmx
