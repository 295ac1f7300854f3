#pragma once
#include <cstddef>

// The kernel's list template: an ordered singly linked list of item pointers. It never owns
// the items. Indexed access goes through a remembered cursor so that walking the list by
// increasing index costs one step per call.
// One node of a KytStack: its item and the node after it (null at the tail).
template <class T>
struct KytItem {
    T* item;
    KytItem* next;
};

template <class T>
class KytStack {
    using Node = KytItem<T>;

public:
    KytStack() = default;
    KytStack(const KytStack& o) { CopyFrom(o); }
    KytStack& operator=(const KytStack& o)
    {
        if (this != &o) {
            RemoveAll();
            CopyFrom(o);
        }
        return *this;
    }
    ~KytStack() { RemoveAll(); }

    // Inserts at the head. With `unique`, an item already present is moved to the head
    // instead of being added twice. Returns the new count.
    int Push(T* item, bool unique = false)
    {
        if (unique)
            Unlink(item);
        head_ = new Node{item, head_};
        if (!tail_)
            tail_ = head_;
        ++count_;
        ResetCursor();
        return count_;
    }

    // Inserts at the tail; `unique` moves an item already present to the tail.
    int Append(T* item, bool unique = false)
    {
        if (unique)
            Unlink(item);
        Node* n = new Node{item, nullptr};
        if (tail_)
            tail_->next = n;
        else
            head_ = n;
        tail_ = n;
        ++count_;
        ResetCursor();
        return count_;
    }

    // Removes the head node and returns its item; null when empty.
    T* Pop()
    {
        if (!head_)
            return nullptr;
        Node* n = head_;
        head_ = n->next;
        if (!head_)
            tail_ = nullptr;
        T* item = n->item;
        delete n;
        --count_;
        ResetCursor();
        return item;
    }

    // Removes the first node holding `item`; false when it is not there.
    bool Remove(T* item)
    {
        const bool found = Unlink(item);
        ResetCursor();
        return found;
    }

    // Frees every node, not the items.
    void RemoveAll()
    {
        while (head_) {
            Node* n = head_;
            head_ = n->next;
            delete n;
        }
        tail_ = nullptr;
        count_ = 0;
        ResetCursor();
    }

    int GetCount() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    T* GetHead() const { return head_ ? head_->item : nullptr; }
    // The head node, for callers that walk the nodes themselves; null when empty.
    KytItem<T>* GetFirstItem() const { return head_; }
    T* GetTail() const { return tail_ ? tail_->item : nullptr; }

    // Index of the first node holding `item`, or -1.
    int Search(const T* item) const
    {
        int i = 0;
        for (Node* n = head_; n; n = n->next, ++i)
            if (n->item == item)
                return i;
        return -1;
    }

    // Item at `index`, found through the cursor; null when out of range.
    T* Get(int index)
    {
        if (index < 0 || index >= count_)
            return nullptr;
        if (cursorIndex_ < 0 || index < cursorIndex_) {
            cursorIndex_ = 0;
            cursor_ = head_;
        }
        while (cursorIndex_ < index) {
            cursor_ = cursor_->next;
            ++cursorIndex_;
        }
        return cursor_->item;
    }
    T* operator[](int index) { return Get(index); }

    int GetCursorIndex() const { return cursorIndex_; }

    class const_iterator {
    public:
        explicit const_iterator(const Node* n) : n_(n) {}
        T* operator*() const { return n_->item; }
        const_iterator& operator++()
        {
            n_ = n_->next;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return n_ != o.n_; }
        bool operator==(const const_iterator& o) const { return n_ == o.n_; }

    private:
        const Node* n_;
    };
    const_iterator begin() const { return const_iterator(head_); }
    const_iterator end() const { return const_iterator(nullptr); }

private:
    void ResetCursor()
    {
        cursorIndex_ = -1;
        cursor_ = nullptr;
    }
    bool Unlink(const T* item)
    {
        Node* prev = nullptr;
        for (Node* n = head_; n; prev = n, n = n->next) {
            if (n->item != item)
                continue;
            (prev ? prev->next : head_) = n->next;
            if (tail_ == n)
                tail_ = prev;
            delete n;
            --count_;
            return true;
        }
        return false;
    }
    void CopyFrom(const KytStack& o)
    {
        for (Node* n = o.head_; n; n = n->next)
            Append(n->item);
    }

    int count_ = 0;
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    int cursorIndex_ = -1;
    Node* cursor_ = nullptr;
};
