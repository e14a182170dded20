#pragma once

class Connection;

// One write transaction. BEGIN IMMEDIATE takes the write lock first (after
// the start-up check's verdict, as every write does), so nothing can come
// between a check and the write it guards. Whatever was not committed when
// the transaction ends, a failure or a cancel, is rolled back.
class WriteTransaction {
public:
    explicit WriteTransaction(Connection& connection);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    void commit();

private:
    Connection& mConnection;
    bool mOpen = true;
};

// Runs work in one write transaction and returns what it returns; anything
// work throws rolls the whole of it back.
template <typename Work> auto inWriteTransaction(Connection& connection, Work work)
{
    WriteTransaction transaction(connection);
    auto result = work();
    transaction.commit();
    return result;
}
