// CFURLText: URLs made from and shown as text, and paths grown by a component (see CFURL.h).
// Only file URLs have paths; every other URL keeps the text it was made from.
// Relies on CFURLInternal.h, CFString and the File Manager stand-in's path helpers. Failures
// answer NULL; nothing throws.
#include <new>
#include <string>

#include "platform/carbon/FilesStandIn.h"
#include "platform/cf/CFURL.h"
#include "platform/cf/CFURLInternal.h"

namespace {

std::string UTF8Of(CFStringRef text) {
  CFIndex const length = CFStringGetLength(text);
  std::u16string units(size_t(length), u'\0');
  if (length > 0) {
    CFStringGetCharacters(text, CFRangeMake(0, length), reinterpret_cast<UniChar*>(&units[0]));
  }
  return FSStandInUTF16ToUTF8(reinterpret_cast<UniChar const*>(units.data()), units.size());
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The scheme's length (before its ':'), 0 when the text has none.
size_t SchemeLength(std::string const& text) {
  if (text.empty() || !IsLetter(text[0])) return 0;
  size_t i = 1;
  while (i < text.size() && (IsLetter(text[i]) || IsDigit(text[i]) || text[i] == '+' ||
                             text[i] == '-' || text[i] == '.')) {
    ++i;
  }
  return i < text.size() && text[i] == ':' ? i : 0;
}

bool SameIgnoringCase(std::string const& a, char const* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(std::string const& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int const high = HexValue(text[i + 1]);
    int const low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    *out += char(high * 16 + low);
    i += 2;
  }
  return out->find('\0') == std::string::npos;
}

std::string Escape(std::string const& bytes) {
  static char const kHex[] = "0123456789ABCDEF";
  static std::string const kKept = "-._~/!$&'()*+,;=:@";
  std::string out;
  for (char c : bytes) {
    if (IsLetter(c) || IsDigit(c) || kKept.find(c) != std::string::npos) {
      out += c;
    } else {
      unsigned char const b = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

__CFURL* NewFileURL(std::string const& path, bool isDirectory, CFURLRef base) {
  __CFURL* url = new (std::nothrow) __CFURL();
  if (url == nullptr) return nullptr;
  url->m_strPath = path;
  url->m_blnIsDirectory = isDirectory;
  if (base != nullptr) url->m_urlBase = static_cast<CFURLRef>(CFRetain(base));
  return url;
}

__CFURL* NewTextURL(std::string const& text, CFURLRef base) {
  __CFURL* url = NewFileURL(std::string(), false, base);
  if (url == nullptr) return nullptr;
  url->m_blnIsFileURL = false;
  url->m_strText = text;
  return url;
}

// An absolute file URL of the path, "." and ".." steps taken out.
__CFURL* NewAbsoluteFileURL(std::string const& path, bool isDirectory) {
  std::string normal;
  if (FSStandInNormalizePath(path, &normal) != noErr) return nullptr;
  return NewFileURL(normal, isDirectory, nullptr);
}

}  // namespace

CFURLRef CFURLCreateWithBytes(CFAllocatorRef allocator, UInt8 const* URLBytes, CFIndex length,
                              CFStringEncoding encoding, CFURLRef baseURL) {
  (void)allocator;
  if (URLBytes == nullptr || length <= 0) return nullptr;
  CFStringRef decoded = CFStringCreateWithBytes(nullptr, URLBytes, length, encoding, FALSE);
  if (decoded == nullptr) return nullptr;
  std::string const text = UTF8Of(decoded);
  CFRelease(decoded);
  if (text.empty() || text.find('\0') != std::string::npos) return nullptr;

  size_t const scheme = SchemeLength(text);
  if (scheme > 0 && SameIgnoringCase(text.substr(0, scheme), "file")) {
    std::string rest = text.substr(scheme + 1);
    if (rest.compare(0, 2, "//") == 0) {
      size_t const slash = rest.find('/', 2);
      std::string const host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
      if (!host.empty() && !SameIgnoringCase(host, "localhost")) return NewTextURL(text, nullptr);
      rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    std::string path;
    if (!Unescape(rest, &path)) return nullptr;
    if (path.empty() || path[0] != '/') return NewTextURL(text, nullptr);
    return NewAbsoluteFileURL(path, path.back() == '/');
  }
  if (scheme == 0 && baseURL != nullptr && baseURL->m_blnIsFileURL) {
    std::string path;
    if (!Unescape(text, &path) || path.empty()) return nullptr;
    if (path[0] == '/') return NewAbsoluteFileURL(path, path.back() == '/');
    bool const isDirectory = path.back() == '/';
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return NewFileURL(path, isDirectory, baseURL);
  }
  return NewTextURL(text, scheme > 0 ? nullptr : baseURL);
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url,
                                               CFStringRef pathComponent, Boolean isDirectory) {
  (void)allocator;
  if (url == nullptr || pathComponent == nullptr) return nullptr;
  std::string const component = UTF8Of(pathComponent);
  if (component.empty() || component.find('\0') != std::string::npos) return nullptr;
  if (!url->m_blnIsFileURL) {
    std::string text = url->m_strText;
    if (text.back() != '/') text += '/';
    text += Escape(component);
    if (isDirectory) text += '/';
    return NewTextURL(text, url->m_urlBase);
  }
  std::string path = url->m_strPath;
  if (path.empty() || path.back() != '/') path += '/';
  path += component;
  if (url->m_urlBase != nullptr) return NewFileURL(path, isDirectory != 0, url->m_urlBase);
  return NewAbsoluteFileURL(path, isDirectory != 0);
}

CFStringRef CFURLGetString(CFURLRef anURL) {
  if (anURL == nullptr) return nullptr;
  std::call_once(anURL->m_flgString, [anURL] {
    std::string text;
    if (!anURL->m_blnIsFileURL) {
      text = anURL->m_strText;
    } else {
      text = Escape(anURL->m_strPath);
      if (anURL->m_blnIsDirectory && (text.empty() || text.back() != '/')) text += '/';
      if (anURL->m_urlBase == nullptr) text = "file://" + text;
    }
    std::u16string const units = FSStandInUTF8ToUTF16(text);
    anURL->m_strString = CFStringCreateWithCharacters(
        nullptr, reinterpret_cast<UniChar const*>(units.data()), CFIndex(units.size()));
  });
  return anURL->m_strString;
}
