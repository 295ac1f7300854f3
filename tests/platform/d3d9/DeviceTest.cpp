#include "platform/d3d9/Device.h"

#include <gtest/gtest.h>

namespace {

using namespace quor::d3d9;

TEST(D3D9Device, BuffersLockLikeTheDevice) {
    IDirect3DDevice9 device;
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device.CreateVertexBuffer(48, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    void* p = nullptr;
    // Size 0 locks from the offset to the end.
    ASSERT_EQ(vb->Lock(8, 0, &p, 0), D3D_OK);
    EXPECT_EQ(vb->LastLockSize(), 40u);
    EXPECT_EQ(vb->Lock(0, 4, &p, 0), D3DERR_INVALIDCALL);  // already locked
    EXPECT_EQ(device.LockedBuffers(), 1);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(40, 9, &p, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);  // past the end
    ASSERT_EQ(vb->Lock(40, 8, &p, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(vb->LastLockFlags(), D3DLOCK_DISCARD);
    EXPECT_EQ(device.Locks(), 2);
    vb->Release();  // released while locked: the lock goes with it
    EXPECT_EQ(device.LockedBuffers(), 0);
    EXPECT_EQ(device.LiveBuffers(), 0);
}

TEST(D3D9Device, CreationFailuresAndPools) {
    IDirect3DDevice9 device;
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(device.CreateIndexBuffer(12, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, &ib, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(ib, nullptr);
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(device.CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
    device.FailCreation(2, E_OUTOFMEMORY);
    ASSERT_EQ(device.CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    EXPECT_EQ(device.CreateVertexBuffer(24, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(vb, nullptr);
    ASSERT_EQ(device.CreateVertexBuffer(24, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    EXPECT_EQ(device.LiveBuffers(D3DPOOL_DEFAULT), 1);
    EXPECT_EQ(device.LiveBuffers(D3DPOOL_MANAGED), 1);
    EXPECT_EQ(device.Reset(), D3DERR_INVALIDCALL);
    ib->Release();
    EXPECT_EQ(device.Reset(), D3D_OK);
    EXPECT_EQ(device.Resets(), 1);
    vb->Release();
}

}  // namespace
