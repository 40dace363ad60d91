// CGGeometry: the CoreGraphics points, sizes and rectangles, and the few helpers the window
// server and the dialog engine use. Plain values; header only, no library.
#pragma once

#include <algorithm>

typedef double CGFloatValue;

struct CGPoint {
  double x;
  double y;
};
struct CGSize {
  double width;
  double height;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
};

inline CGPoint CGPointMake(double x, double y) { return CGPoint{x, y}; }
inline CGSize CGSizeMake(double width, double height) { return CGSize{width, height}; }
inline CGRect CGRectMake(double x, double y, double width, double height) {
  return CGRect{{x, y}, {width, height}};
}
inline double CGRectGetMinX(CGRect r) { return std::min(r.origin.x, r.origin.x + r.size.width); }
inline double CGRectGetMinY(CGRect r) { return std::min(r.origin.y, r.origin.y + r.size.height); }
inline double CGRectGetMaxX(CGRect r) { return std::max(r.origin.x, r.origin.x + r.size.width); }
inline double CGRectGetMaxY(CGRect r) { return std::max(r.origin.y, r.origin.y + r.size.height); }
inline double CGRectGetWidth(CGRect r) { return r.size.width < 0 ? -r.size.width : r.size.width; }
inline double CGRectGetHeight(CGRect r) {
  return r.size.height < 0 ? -r.size.height : r.size.height;
}
// The rectangle grown (negative dx, dy) or shrunk on every side.
inline CGRect CGRectInset(CGRect r, double dx, double dy) {
  return CGRectMake(CGRectGetMinX(r) + dx, CGRectGetMinY(r) + dy, CGRectGetWidth(r) - 2 * dx,
                    CGRectGetHeight(r) - 2 * dy);
}
// Left and top edges inside, right and bottom edges outside.
inline bool CGRectContainsPoint(CGRect r, CGPoint p) {
  return p.x >= CGRectGetMinX(r) && p.x < CGRectGetMaxX(r) && p.y >= CGRectGetMinY(r) &&
         p.y < CGRectGetMaxY(r);
}
inline bool CGRectEqualToRect(CGRect a, CGRect b) {
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}
