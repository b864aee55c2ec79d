// The window's answers to retrievals that need the user: one question per
// page and realm, answers remembered for the session and forgotten when
// the server refuses them.

#include "app/retrieval_prompts.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/app_test_support.h"

namespace quarry {
namespace {

using quarry::testing::WaitFor;

class RetrievalPromptsTest : public ::testing::Test {
 protected:
  RetrievalPromptsTest() : prompts_(nullptr) {
    // Answers only when told to, like a user who takes a moment.
    prompts_.SetAsker([this](const CredentialsQuestion& question,
                             std::function<void(CRetrievalPrompts::Answer)> done) -> QDialog* {
      asked_.push_back(question.url + " " + question.realm);
      waiting_.push_back(std::move(done));
      return nullptr;
    });
  }

  void AnswerAll(CRetrievalPrompts::Answer answer) {
    auto waiting = std::move(waiting_);
    for (auto& done : waiting) done(answer);
  }

  // Asks from a worker thread, as a parse does; returns the user name
  // given, or "" when declined.
  std::string AskFromWorker(const std::string& url, const std::string& realm) {
    std::string user, password, result;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
      CredentialsQuestion question;
      question.url = url;
      question.status = 401;
      question.realm = realm;
      if (prompts_.AskCredentials(question, &user, &password)) result = user;
      finished = true;
    });
    WaitFor([&] { return finished.load() || !waiting_.empty(); });
    if (!finished) AnswerAll(std::make_pair(QStringLiteral("worker"), QStringLiteral("pw")));
    WaitFor([&] { return finished.load(); });
    worker.join();
    return result;
  }

  CRetrievalPrompts prompts_;
  std::vector<std::string> asked_;
  std::vector<std::function<void(CRetrievalPrompts::Answer)>> waiting_;
};

TEST_F(RetrievalPromptsTest, WhatTheBrowserWasGivenServesTheParseOfThatSite) {
  // The browser asks first; the user answers.
  QTimer::singleShot(0, [this] {
    AnswerAll(std::make_pair(QStringLiteral("ann"), QStringLiteral("s3cret")));
  });
  const auto given = prompts_.AskHere("http://h:8080/a.html", "Staff", false);
  ASSERT_TRUE(given);
  EXPECT_EQ(given->first, "ann");

  // The parse of a page on that server and realm is not asked again...
  EXPECT_EQ(AskFromWorker("http://h:8080/b.html", "Staff"), "ann");
  EXPECT_EQ(asked_.size(), 1u);
  // ...but another realm, host or port is.
  EXPECT_EQ(AskFromWorker("http://h:8080/b.html", "Admin"), "worker");
  EXPECT_EQ(AskFromWorker("http://h:9090/b.html", "Staff"), "worker");
  EXPECT_EQ(asked_.size(), 3u);

  // Refused credentials are forgotten, so the next parse asks the user.
  CredentialsQuestion refused;
  refused.url = "http://h:8080/b.html";
  refused.status = 401;
  refused.realm = "Staff";
  prompts_.CredentialsRefused(refused);
  EXPECT_EQ(AskFromWorker("http://h:8080/b.html", "Staff"), "worker");
  EXPECT_EQ(asked_.size(), 4u);
}

TEST_F(RetrievalPromptsTest, TheBrowserAskingAgainMeansTheRememberedAnswerFailed) {
  EXPECT_EQ(AskFromWorker("http://h/a", "R"), "worker");
  // The parse's answer is offered to the browser once...
  EXPECT_EQ(prompts_.AskHere("http://h/a", "R", false)->first, "worker");
  EXPECT_EQ(asked_.size(), 1u);
  // ...and when the browser asks again, the user is asked.
  QTimer::singleShot(0, [this] { AnswerAll(std::nullopt); });
  EXPECT_FALSE(prompts_.AskHere("http://h/a", "R", false));
  EXPECT_EQ(asked_.size(), 2u);
}

TEST_F(RetrievalPromptsTest, TwoAskersOfOneQuestionShareOneDialog) {
  std::string user, password;
  std::atomic<bool> worker_got{false};
  std::thread worker([&] {
    CredentialsQuestion question;
    question.url = "http://h/a";
    question.status = 401;
    question.realm = "R";
    worker_got = prompts_.AskCredentials(question, &user, &password);
  });
  ASSERT_TRUE(WaitFor([&] { return !waiting_.empty(); }));
  // The browser asks the same while the parse's question is open.
  QTimer::singleShot(0, [this] {
    AnswerAll(std::make_pair(QStringLiteral("ann"), QStringLiteral("pw")));
  });
  const auto given = prompts_.AskHere("http://h/b", "R", false);
  worker.join();
  ASSERT_TRUE(given);
  EXPECT_TRUE(worker_got);
  EXPECT_EQ(user, "ann");
  EXPECT_EQ(asked_.size(), 1u);
}

TEST_F(RetrievalPromptsTest, ACancelledParseStopsWaitingAndWorkersAreReleasedOnClose) {
  std::atomic<bool> cancel{false};
  std::atomic<bool> answered{true};
  std::thread worker([&] {
    CredentialsQuestion question;
    question.url = "http://h/a";
    question.status = 407;
    question.cancel = &cancel;
    std::string user, password;
    answered = prompts_.AskCredentials(question, &user, &password);
  });
  ASSERT_TRUE(WaitFor([&] { return !waiting_.empty(); }));
  cancel = true;
  worker.join();
  EXPECT_FALSE(answered);

  // A question asked on the user-interface thread itself cannot wait.
  CredentialsQuestion question;
  std::string user, password;
  EXPECT_FALSE(prompts_.AskCredentials(question, &user, &password));
}

}  // namespace
}  // namespace quarry
