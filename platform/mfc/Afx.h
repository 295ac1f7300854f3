#pragma once
// MFC subset: CString, CPoint, CRect, CFont, CPen, CDC, CFile and CFileException.
// Texts are byte strings (code page 932 in the host); nothing here decodes them.
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/wgl/Wgl.h"

class CString {
public:
    CString() = default;
    CString(const char* s) : s_(s ? s : "") {}
    CString(const char* s, int n) : s_(s ? std::string(s, s + n) : std::string()) {}
    CString(const std::string& s) : s_(s) {}

    int GetLength() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    operator const char*() const { return s_.c_str(); }
    const char* GetString() const { return s_.c_str(); }
    char GetAt(int i) const { return s_.at(static_cast<size_t>(i)); }
    void Format(const char* fmt, ...);
    void FormatV(const char* fmt, va_list args);
    void AppendFormat(const char* fmt, ...);
    CString Left(int n) const { return s_.substr(0, n < 0 ? 0 : static_cast<size_t>(n)); }
    CString Mid(int first) const;
    CString Mid(int first, int n) const;
    int Find(const char* sub, int start = 0) const;
    int Find(char c, int start = 0) const;
    int Replace(const char* from, const char* to);
    CString& operator=(const char* s) { s_ = s ? s : ""; return *this; }
    CString& operator+=(const CString& o) { s_ += o.s_; return *this; }
    CString& operator+=(const char* s) { s_ += s ? s : ""; return *this; }
    CString& operator+=(char c) { s_ += c; return *this; }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.s_ + (b ? b : "")); }
    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};

class CPoint : public quor::wgl::POINT {
public:
    CPoint() = default;
    CPoint(int ax, int ay) { x = ax; y = ay; }
    CPoint operator+(const CPoint& o) const { return {x + o.x, y + o.y}; }
    CPoint operator-(const CPoint& o) const { return {x - o.x, y - o.y}; }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CRect : public quor::wgl::RECT {
public:
    CRect() = default;
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const quor::wgl::RECT& r) : quor::wgl::RECT(r) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool PtInRect(const quor::wgl::POINT& p) const
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    void NormalizeRect();
    void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
    void InflateRect(int dx, int dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
    CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
    CPoint TopLeft() const { return {left, top}; }
    CPoint BottomRight() const { return {right, bottom}; }
    bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Owner of one GDI object; deletes it on destruction.
class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject()
    {
        if (m_bOwned)
            DeleteObject();
    }
    bool DeleteObject();
    quor::wgl::HGDIOBJ GetSafeHandle() const { return m_hObject; }
    quor::wgl::HGDIOBJ m_hObject = nullptr;
    // False for the temporary wrappers a CDC hands back for objects it did not select.
    bool m_bOwned = true;
};

class CFont : public CGdiObject {
public:
    bool CreateFontIndirect(const quor::wgl::LOGFONTA* lf);
    // Points in tenths, as MFC takes them; the DC's LOGPIXELSY when given, else 96.
    bool CreatePointFont(int tenths, const char* face, class CDC* dc = nullptr);
    // The fourteen fields of CreateFontA.
    bool CreateFont(int height, int width, int escapement, int orientation, int weight,
                    unsigned char italic, unsigned char underline, unsigned char strikeOut,
                    unsigned char charSet, unsigned char outPrecision, unsigned char clipPrecision,
                    unsigned char quality, unsigned char pitchAndFamily, const char* face);
    int GetLogFont(quor::wgl::LOGFONTA* lf) const;
    operator quor::wgl::HFONT() const { return static_cast<quor::wgl::HFONT>(m_hObject); }
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, quor::wgl::COLORREF color) { CreatePen(style, width, color); }
    bool CreatePen(int style, int width, quor::wgl::COLORREF color);
    operator quor::wgl::HPEN() const { return static_cast<quor::wgl::HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(quor::wgl::COLORREF color) { CreateSolidBrush(color); }
    bool CreateSolidBrush(quor::wgl::COLORREF color);
    operator quor::wgl::HBRUSH() const { return static_cast<quor::wgl::HBRUSH>(m_hObject); }
};

// A device context wrapper; Attach borrows a handle, which Detach gives back.
class CDC {
public:
    CDC() = default;
    explicit CDC(quor::wgl::HDC dc) : m_hDC(dc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() = default;

    bool Attach(quor::wgl::HDC dc);
    quor::wgl::HDC Detach();
    quor::wgl::HDC GetSafeHdc() const { return m_hDC; }

    CFont* SelectObject(CFont* font);
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    quor::wgl::HGDIOBJ SelectObject(quor::wgl::HGDIOBJ obj);
    quor::wgl::HGDIOBJ SelectStockObject(int which);

    bool TextOut(int x, int y, const char* text, int length);
    bool TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
    quor::wgl::SIZE GetTextExtent(const char* text, int length) const;
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(const quor::wgl::POINT& p) { return MoveTo(p.x, p.y); }
    bool LineTo(int x, int y);
    bool LineTo(const quor::wgl::POINT& p) { return LineTo(p.x, p.y); }
    bool Rectangle(int l, int t, int r, int b);
    bool Ellipse(int l, int t, int r, int b);
    bool Polyline(const quor::wgl::POINT* pts, int n);
    bool Polygon(const quor::wgl::POINT* pts, int n);
    int SetPolyFillMode(int mode);
    int GetPolyFillMode() const;
    quor::wgl::COLORREF SetTextColor(quor::wgl::COLORREF c);
    quor::wgl::COLORREF SetBkColor(quor::wgl::COLORREF c);
    int SetBkMode(int mode);
    int SetROP2(int rop);
    unsigned SetTextAlign(unsigned align);
    int GetDeviceCaps(int index) const;

    quor::wgl::HDC m_hDC = nullptr;

private:
    // The previously selected object, as the wrapper that selected it or as a temporary
    // wrapper that does not own the handle (as MFC's temporary objects).
    template <class T>
    T* Swap(T* next, T*& current, std::unique_ptr<T>& temp);

    CFont* font_ = nullptr;
    CPen* pen_ = nullptr;
    CBrush* brush_ = nullptr;
    std::unique_ptr<CFont> tempFont_;
    std::unique_ptr<CPen> tempPen_;
    std::unique_ptr<CBrush> tempBrush_;
};

class CFileException {
public:
    enum Cause { none = 0, genericException = 1, fileNotFound = 2, accessDenied = 5, diskFull = 14 };
    explicit CFileException(int cause = genericException, const char* name = "")
        : m_cause(cause), m_strFileName(name) {}
    // MFC exceptions are thrown by pointer and freed by the catcher.
    void Delete() { delete this; }
    int m_cause;
    CString m_strFileName;
};

// A file opened for reading or writing. Failures throw CFileException* as MFC does; a file
// that could not be opened throws at its first read or write when opened with the
// constructor that cannot report.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
        typeBinary = 0x8000,
    };
    CFile() = default;
    CFile(const char* name, unsigned flags);  // throws CFileException* when it cannot open
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    bool Open(const char* name, unsigned flags, CFileException* error = nullptr);
    void Write(const void* data, unsigned size);
    unsigned Read(void* data, unsigned size);
    // Throws CFileException* when the file cannot be closed cleanly; the object is closed
    // either way. The destructor closes quietly.
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Fails every Write after this many bytes (tests of the writers' failure paths); -1 off.
    static long long failWriteAfter;

private:
    std::FILE* file_ = nullptr;
    CString name_;
    long long written_ = 0;
};
