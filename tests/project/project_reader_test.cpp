#include <gtest/gtest.h>

#include "platform/platform.h"
#include "project/doc_objects.h"
#include "project/module_registry.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "support/archive_bytes.h"

namespace {

// The header of a project of version v, up to the root container.
archive_bytes Header(int32_t v) {
    archive_bytes b;
    b.I32(v);
    if (v > 82) b.Count(0);  // embedded files
    b.Text("text A");
    if (v > 8) b.I32(1);
    if (v > 19 && v < 94960) b.I32(0);
    if (v > 44) b.I32(0);
    if (v > 55) {
        b.Text("WsT2");
        if (v > 61) b.Text("text B");
        if (v > 57) b.I32(1).Text("text C");
        if (v > 63) b.I32(0);  // can-mono off
        if (v > 56) b.Point(400, 300);
        if (v > 68) {
            b.U32(9).I32(32);
            if (v > 70) b.Text("Vendor");
            if (v > 85) b.Text("text D");
            if (v < 94400) b.Text("unused");
            b.Text("Product");
        }
        b.I32(0);  // no skins
    }
    if (v > 95272) b.U8(0);
    return b;
}

// A container record; `children` are complete object records.
archive_bytes Container(int32_t v, const std::string& title, const std::vector<archive_bytes>& children,
                        bool first_container_class = true, uint16_t container_class_entry = 1) {
    archive_bytes b;
    if (first_container_class)
        b.NewClass("CContainer", 95);
    else
        b.OldClass(container_class_entry);
    if (v >= 37) {
        if (v < 79)
            b.I32(3);  // legacy number of "Container"
        else
            b.Text("Container");
    }
    b.Count(0).Text(title).I16(0);
    if (v >= 37) b.Rect(0, 0, 20, 20);
    if (v > 95269) b.Null();  // no patch manager
    if (v < 95321) b.I32(static_cast<int32_t>(children.size()));
    for (const auto& child : children) b.Append(child);
    if (v >= 95321) b.Null();
    if (v > 94950) b.Rect(0, 0, 100, 100);
    b.Rect(0, 0, 0, 0).Rect(0, 0, 0, 0);
    if (v > 27) b.Point(0, 0).Point(0, 0);
    if (v > 8) b.U32(0);
    if (v > 47) b.Text("default");
    if (v > 49 && v < 95270) b.Count(2).Text("First").Text("Second").I32(1);
    if (v > 94950) b.Bool(false);
    return b;
}

struct read_outcome {
    project_read_result result;
    std::vector<std::string> messages;
};

read_outcome Read(const archive_bytes& bytes, project_document& document, bool keep_settings = true) {
    read_outcome outcome{};
    platform::MessageSink previous = platform::SetMessageSink(
        [&](const std::string& text, int) { outcome.messages.push_back(text); });
    try {
        outcome.result = ReadProject(bytes.bytes, document, keep_settings);
    } catch (...) {
        platform::SetMessageSink(std::move(previous));
        throw;
    }
    platform::SetMessageSink(std::move(previous));
    return outcome;
}

TEST(ProjectReader, NewestVersionReadsAndTheNextOneIsRefused) {
    project_document document;
    archive_bytes newest = Header(95710).Append(Container(95710, "Root", {}));
    EXPECT_EQ(Read(newest, document).result, project_read_result::ok);
    ASSERT_NE(document.root, nullptr);
    EXPECT_EQ(document.root->Title(), "Root");
    EXPECT_EQ(document.settings.id_text, "WsT2");
    EXPECT_EQ(document.settings.vendor, "Vendor");
    EXPECT_EQ(document.settings.options, 9u);
    EXPECT_EQ(document.settings.program_count, 32);
    EXPECT_FALSE(document.settings.can_mono);
    EXPECT_EQ(document.settings.product, "") << "the product text stays when settings are kept";

    project_document newer;
    const read_outcome refused = Read(archive_bytes().I32(95711), newer);
    EXPECT_EQ(refused.result, project_read_result::newer_version);
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_EQ(refused.messages[0],
              "Load Cancelled.  File created by a newer version of Wirestack (V957.11). See Wirestack web site for "
              "latest version.");
    EXPECT_EQ(newer.root, nullptr);
}

TEST(ProjectReader, ChildListsEndByCountBeforeVersion95321AndByNullFrom95321) {
    for (const int32_t v : {95320, 95321}) {
        project_document document;
        const archive_bytes inner = Container(v, "Inner", {}, false);
        const archive_bytes bytes = Header(v).Append(Container(v, "Root", {inner}));
        ASSERT_EQ(Read(bytes, document).result, project_read_result::ok) << v;
        ASSERT_EQ(document.root->Children().size(), 1u) << v;
        EXPECT_EQ(document.TopContainer(), document.root->Children()[0].get());
        EXPECT_EQ(document.TopContainer()->Title(), "Inner");
        EXPECT_EQ(document.TopContainer()->Parent(), document.root.get());
    }
}

TEST(ProjectReader, TypesByLegacyNumberUpToVersion78AndByTextFrom79) {
    for (const int32_t v : {78, 79}) {
        project_document document;
        ASSERT_EQ(Read(Header(v).Append(Container(v, "Root", {})), document).result, project_read_result::ok);
        EXPECT_EQ(document.root->TypeId(), "Container") << v;
    }
}

TEST(ProjectReader, OldProgramListsBecomeThePatchManagersPrograms) {
    project_document document;
    ASSERT_EQ(Read(Header(95000).Append(Container(95000, "Root", {})), document).result, project_read_result::ok);
    const CPatchManager* manager = document.root->PatchManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->ProgramName(1), "Second");
    EXPECT_EQ(manager->CurrentProgram(), 1);
}

TEST(ProjectReader, AnyTruncationFailsCleanlyAndLeavesTheDocumentAlone) {
    const archive_bytes inner = Container(95710, "Inner", {}, false);
    const archive_bytes whole = Header(95710).Append(Container(95710, "Root", {inner}));
    for (std::size_t length = 0; length < whole.bytes.size(); ++length) {
        archive_bytes cut;
        cut.bytes.assign(whole.bytes.begin(), whole.bytes.begin() + static_cast<std::ptrdiff_t>(length));
        project_document document;
        document.settings.id_text = "kept";
        EXPECT_THROW(Read(cut, document), archive_error) << "length " << length;
        EXPECT_EQ(document.root, nullptr);
        EXPECT_EQ(document.settings.id_text, "kept");
    }
}

}  // namespace
