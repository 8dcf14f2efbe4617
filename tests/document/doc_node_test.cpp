#include <gtest/gtest.h>

#include "document/doc_node.h"
#include "document/memory_stream.h"

using namespace lumora;

TEST(DocNode, WorkedExampleIs48Bytes)
{
    DocNode root("set");
    root.AddChild("options")->SetBool("AutoCU", true);
    MemoryStream out;
    root.WriteTo(out);
    EXPECT_EQ(out.Size(), 48u);
    out.Seek(0, SeekOrigin::Begin);
    DocNode back;
    ASSERT_TRUE(back.ReadFrom(out));
    EXPECT_EQ(back.Name(), "set");
    EXPECT_TRUE(back.Child("options")->GetBool("AutoCU", false));
}
