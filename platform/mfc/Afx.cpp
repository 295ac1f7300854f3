#include "platform/mfc/Afx.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

using namespace quor::wgl;

void CString::FormatV(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0) {
        s_.clear();
        return;
    }
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, args);
    s_.assign(buf.data(), static_cast<size_t>(n));
}

void CString::Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void CString::AppendFormat(const char* fmt, ...)
{
    CString tail;
    va_list args;
    va_start(args, fmt);
    tail.FormatV(fmt, args);
    va_end(args);
    s_ += tail.s_;
}

CString CString::Mid(int first) const
{
    first = std::clamp(first, 0, GetLength());
    return s_.substr(static_cast<size_t>(first));
}

CString CString::Mid(int first, int n) const
{
    first = std::clamp(first, 0, GetLength());
    n = std::clamp(n, 0, GetLength() - first);
    return s_.substr(static_cast<size_t>(first), static_cast<size_t>(n));
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const size_t p = s_.find(sub, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int CString::Find(char c, int start) const
{
    if (start < 0 || start > GetLength())
        return -1;
    const size_t p = s_.find(c, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int CString::Replace(const char* from, const char* to)
{
    if (!from || !*from)
        return 0;
    const std::string f(from), t(to ? to : "");
    int count = 0;
    for (size_t p = s_.find(f); p != std::string::npos; p = s_.find(f, p + t.size())) {
        s_.replace(p, f.size(), t);
        ++count;
    }
    return count;
}

void CRect::NormalizeRect()
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

bool CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return false;
    const bool ok = quor::wgl::DeleteObject(m_hObject) != 0;
    m_hObject = nullptr;
    return ok;
}

bool CFont::CreateFontIndirect(const LOGFONTA* lf)
{
    DeleteObject();
    m_hObject = CreateFontIndirectA(lf);
    return m_hObject != nullptr;
}

bool CFont::CreatePointFont(int tenths, const char* face, CDC* dc)
{
    LOGFONTA lf{};
    const int dpi = dc ? dc->GetDeviceCaps(LOGPIXELSY) : 96;
    lf.lfHeight = -MulDiv(tenths, dpi, 720);
    lf.lfWeight = FW_NORMAL;
    if (face)
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

bool CFont::CreateFont(int height, int width, int escapement, int orientation, int weight,
                       unsigned char italic, unsigned char underline, unsigned char strikeOut,
                       unsigned char charSet, unsigned char outPrecision,
                       unsigned char clipPrecision, unsigned char quality,
                       unsigned char pitchAndFamily, const char* face)
{
    DeleteObject();
    m_hObject = CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                            strikeOut, charSet, outPrecision, clipPrecision, quality,
                            pitchAndFamily, face);
    return m_hObject != nullptr;
}

int CFont::GetLogFont(LOGFONTA* lf) const
{
    return m_hObject ? GetObjectA(m_hObject, sizeof(LOGFONTA), lf) : 0;
}

bool CPen::CreatePen(int style, int width, COLORREF color)
{
    DeleteObject();
    m_hObject = quor::wgl::CreatePen(style, width, color);
    return m_hObject != nullptr;
}

bool CBrush::CreateSolidBrush(COLORREF color)
{
    DeleteObject();
    m_hObject = quor::wgl::CreateSolidBrush(color);
    return m_hObject != nullptr;
}

bool CDC::Attach(HDC dc)
{
    if (m_hDC || !dc)
        return false;
    m_hDC = dc;
    return true;
}

HDC CDC::Detach() { return std::exchange(m_hDC, nullptr); }

template <class T>
T* CDC::Swap(T* next, T*& current, std::unique_ptr<T>& temp)
{
    if (!next)
        return nullptr;
    HGDIOBJ old = quor::wgl::SelectObject(m_hDC, next->m_hObject);
    T* previous = current;
    current = next;
    if (!old)
        return nullptr;
    if (previous && previous->m_hObject == old)
        return previous;
    if (!temp) {
        temp = std::make_unique<T>();
        temp->m_bOwned = false;
    }
    temp->m_hObject = old;
    return temp.get();
}

CFont* CDC::SelectObject(CFont* font) { return Swap(font, font_, tempFont_); }
CPen* CDC::SelectObject(CPen* pen) { return Swap(pen, pen_, tempPen_); }
CBrush* CDC::SelectObject(CBrush* brush) { return Swap(brush, brush_, tempBrush_); }

HGDIOBJ CDC::SelectObject(HGDIOBJ obj) { return quor::wgl::SelectObject(m_hDC, obj); }
HGDIOBJ CDC::SelectStockObject(int which) { return quor::wgl::SelectObject(m_hDC, GetStockObject(which)); }

bool CDC::TextOut(int x, int y, const char* text, int length)
{
    return TextOutA(m_hDC, x, y, text, length) != 0;
}

SIZE CDC::GetTextExtent(const char* text, int length) const
{
    SIZE s{};
    GetTextExtentPoint32A(m_hDC, text, length, &s);
    return s;
}

CPoint CDC::MoveTo(int x, int y)
{
    POINT old{};
    MoveToEx(m_hDC, x, y, &old);
    return {old.x, old.y};
}

bool CDC::LineTo(int x, int y) { return quor::wgl::LineTo(m_hDC, x, y) != 0; }
bool CDC::Rectangle(int l, int t, int r, int b) { return quor::wgl::Rectangle(m_hDC, l, t, r, b) != 0; }
bool CDC::Ellipse(int l, int t, int r, int b) { return quor::wgl::Ellipse(m_hDC, l, t, r, b) != 0; }
bool CDC::Polyline(const POINT* pts, int n) { return quor::wgl::Polyline(m_hDC, pts, n) != 0; }
bool CDC::Polygon(const POINT* pts, int n) { return quor::wgl::Polygon(m_hDC, pts, n) != 0; }
int CDC::SetPolyFillMode(int mode) { return quor::wgl::SetPolyFillMode(m_hDC, mode); }
int CDC::GetPolyFillMode() const { return quor::wgl::GetPolyFillMode(m_hDC); }
COLORREF CDC::SetTextColor(COLORREF c) { return quor::wgl::SetTextColor(m_hDC, c); }
COLORREF CDC::SetBkColor(COLORREF c) { return quor::wgl::SetBkColor(m_hDC, c); }
int CDC::SetBkMode(int mode) { return quor::wgl::SetBkMode(m_hDC, mode); }
int CDC::SetROP2(int rop) { return quor::wgl::SetROP2(m_hDC, rop); }
unsigned CDC::SetTextAlign(unsigned align) { return quor::wgl::SetTextAlign(m_hDC, align); }
int CDC::GetDeviceCaps(int index) const { return quor::wgl::GetDeviceCaps(m_hDC, index); }

long long CFile::failWriteAfter = -1;

CFile::CFile(const char* name, unsigned flags)
{
    CFileException* e = new CFileException;
    if (!Open(name, flags, e))
        throw e;
    e->Delete();
}

CFile::~CFile()
{
    if (file_)
        std::fclose(file_);
}

bool CFile::Open(const char* name, unsigned flags, CFileException* error)
{
    // A file still open is let go quietly, as the destructor does.
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    name_ = name ? name : "";
    written_ = 0;
    const char* mode = (flags & modeCreate) ? ((flags & modeReadWrite) ? "w+b" : "wb")
                       : (flags & modeReadWrite) ? "r+b"
                       : (flags & modeWrite)     ? "r+b"
                                                 : "rb";
    file_ = name ? std::fopen(name, mode) : nullptr;
    // Like the real file object, no buffer stands between Write and the file: a write that
    // cannot be made fails at that call, not at a later flush.
    if (file_ && (flags & (modeWrite | modeReadWrite)))
        std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!file_ && error) {
        error->m_cause = CFileException::fileNotFound;
        error->m_strFileName = name_;
    }
    return file_ != nullptr;
}

void CFile::Write(const void* data, unsigned size)
{
    if (!file_)
        throw new CFileException(CFileException::genericException, name_);
    if (failWriteAfter >= 0 && written_ + size > failWriteAfter)
        throw new CFileException(CFileException::diskFull, name_);
    if (size && std::fwrite(data, 1, size, file_) != size)
        throw new CFileException(errno == ENOSPC ? CFileException::diskFull
                                                 : CFileException::genericException,
                                 name_);
    written_ += size;
}

unsigned CFile::Read(void* data, unsigned size)
{
    if (!file_)
        throw new CFileException(CFileException::genericException, name_);
    return static_cast<unsigned>(std::fread(data, 1, size, file_));
}

void CFile::Close()
{
    if (!file_)
        return;
    std::FILE* f = file_;
    file_ = nullptr;
    // A close that fails (the last bytes could not be written) is reported as a failed write.
    if (std::fclose(f) != 0)
        throw new CFileException(errno == ENOSPC ? CFileException::diskFull
                                                 : CFileException::genericException,
                                 name_);
}
