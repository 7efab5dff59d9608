#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "foundation/log/StatHtml.h"

namespace {

// A statistics tree built by the test: values, named sub-objects and named
// collections of objects.
class Node : public Stat::Object {
public:
  std::map<std::string, std::string> values;
  std::map<std::string, Node> children;
  std::map<std::string, std::vector<Node>> collections;
  mutable int iteratorsAsked = 0;

  Stat::Value statistics_value(const std::string& name) const override {
    auto found = values.find(name);
    return found == values.end() ? Stat::Value() : Stat::Value(found->second);
  }
  const Stat::Object* statistics_object(const std::string& name) const override {
    auto found = children.find(name);
    return found == children.end() ? nullptr : &found->second;
  }
  std::unique_ptr<Stat::IteratorBase> statistics_iterator(const std::string& name) const override;
};

class NodeIterator : public Stat::IteratorBase {
public:
  explicit NodeIterator(const std::vector<Node>& nodes) : mNodes(nodes) {}
  bool valid() const override { return mAt < mNodes.size(); }
  bool next() override { return ++mAt < mNodes.size(); }
  const Stat::Object& current() const override { return mNodes[mAt]; }

private:
  const std::vector<Node>& mNodes;
  std::size_t mAt = 0;
};

std::unique_ptr<Stat::IteratorBase> Node::statistics_iterator(const std::string& name) const {
  ++iteratorsAsked;
  auto found = collections.find(name);
  if (found == collections.end()) return nullptr;
  return std::make_unique<NodeIterator>(found->second);
}

Node leaf(const std::string& name, const std::string& value) {
  Node node;
  node.values[name] = value;
  return node;
}

std::string generate(const Node& root, const std::string& page) {
  std::istringstream in(page);
  std::ostringstream out;
  EXPECT_TRUE(Stat::Html::generateV1(root, out, in));
  return out.str();
}

TEST(StatHtml, PlainTemplatesAndUnknownReferencesPassUnchanged) {
  Node root;
  const std::string plain =
      "<html><!-- ordinary comment --><!-x-><!--GEM.x--><p a=\"b\">text</p>\n"
      "<!--G--><!-->\n</html>\n";
  EXPECT_EQ(plain, generate(root, plain));
  EXPECT_EQ("a %unknown% b 100%% c", generate(root, "a %unknown% b 100%% c"));
  // A "%" inside a tag is part of the tag.
  EXPECT_EQ("<td width=\"50%\">", generate(root, "<td width=\"50%\">"));
  // Text held back for an unfinished reference or marker is not lost.
  EXPECT_EQ("rate 5% of", generate(root, "rate 5% of"));
  EXPECT_EQ("x <!--GEN.open-", generate(root, "x <!--GEN.open-"));
}

TEST(StatHtml, ValuesResolveFromTheInnermostObjectOutwards) {
  Node root;
  root.values = {{"host", "gw1"}, {"name", "root"}};
  Node port = leaf("name", "port-0");
  port.values["rx"] = "17";
  root.children["port"] = port;
  EXPECT_EQ("gw1 root|port-0 17 gw1|root %rx%",
            generate(root, "%host% %name%|<!--GEN.port-->%name% %rx% %host%<!--GEN.end-->|%name% %rx%"));
}

TEST(StatHtml, CollectionsRepeatTheirSectionPerObject) {
  Node root;
  root.values["title"] = "T";
  root.collections["links"] = {leaf("id", "a"), leaf("id", "b"), leaf("id", "c")};
  root.collections["none"] = {};
  EXPECT_EQ("T[<li>a</li>\n<li>b</li>\n<li>c</li>\n]()",
            generate(root,
                     "%title%[<!--GEN.links--><li>%id%</li>\n<!--GEN.end-->]"
                     "(<!--GEN.none-->%title%<!--GEN.end-->)"));
}

TEST(StatHtml, NestedCollectionsAndSkippedSections) {
  Node root;
  Node trunk1 = leaf("n", "1");
  trunk1.collections["ts"] = {leaf("t", "x"), leaf("t", "y")};
  Node trunk2 = leaf("n", "2");
  root.collections["trunks"] = {trunk1, trunk2};
  EXPECT_EQ("1:x1y1;2:;!",
            generate(root,
                     "<!--GEN.trunks-->%n%:<!--GEN.ts-->%t%%n%<!--GEN.end-->;<!--GEN.end-->"
                     "<!--GEN.missing-->gone %n% <!--GEN.trunks-->deep<!--GEN.end--> <b><!--GEN.end-->!"));
  // Inside a skipped section no object is asked for anything.
  EXPECT_EQ(2, root.iteratorsAsked);
}

TEST(StatHtml, MarkerNamesAndMissingEndMarkers) {
  Node root;
  root.children["a-b"] = leaf("v", "dash");
  root.children["a--b"] = leaf("v", "never");
  // One "-" stays in the name; text between "--" and ">" is ignored.
  EXPECT_EQ("dash.", generate(root, "<!--GEN.a-b-->%v%<!--GEN.end-->."));
  EXPECT_EQ("[dash]", generate(root, "[<!--GEN.a-b--junk>%v%<!--GEN.end-- x>]"));
  root.collections["rows"] = {leaf("r", "1"), leaf("r", "2")};
  EXPECT_EQ("(1(2", generate(root, "<!--GEN.rows-->(%r%"));
  EXPECT_EQ("head ", generate(root, "head <!--GEN.nothing-->lost"));
}

}  // namespace
