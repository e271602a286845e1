// CUT_WSClient: under construction; every operation fails for now.
#include <zerth/CUT_WSClient.h>

CUT_WSClient::CUT_WSClient()
    : m_nPort(0), m_szAddress{}, m_nProtocol(0), m_nFamily(AF_INET), m_nSockType(SOCK_STREAM), m_WSAData{},
      m_clientSocket(INVALID_SOCKET), m_clientSocketAddr{}, m_serverSocket(INVALID_SOCKET), m_serverSocketAddr{},
      m_hAsyncWnd(nullptr), m_lSendTimeOut(10000), m_lRecvTimeOut(10000), m_hostEntBuffer{}, m_recvCallBack(nullptr),
      m_sendCallBack(nullptr) {}
CUT_WSClient::~CUT_WSClient() = default;
int CUT_WSClient::ReceiveFileStatus(long) { return 1; }
int CUT_WSClient::SendFileStatus(long) { return 1; }
void CUT_WSClient::OnAsyncNotify(int, int) {}
void CUT_WSClient::OnAsyncGetNameNotify(int) {}
void CUT_WSClient::OnAsyncGetAddressNotify(int) {}
int CUT_WSClient::Reset() { return 1; }
int CUT_WSClient::Connect(unsigned int, const char*, int, int) { return 2; }
int CUT_WSClient::ConnectBound(unsigned int, unsigned int, const char*, const char*, int, int) { return 2; }
int CUT_WSClient::CreateUDPSocket(unsigned int, unsigned int, const char*, const char*) { return 2; }
int CUT_WSClient::CreateUDPSocket(unsigned int, unsigned int, const char*) { return 2; }
int CUT_WSClient::WaitForConnect(unsigned short, int, short, unsigned long) { return 2; }
int CUT_WSClient::WaitForConnect(unsigned short, int) { return 2; }
int CUT_WSClient::WaitForConnect(unsigned short) { return 2; }
int CUT_WSClient::WaitForAccept(long) { return 1; }
int CUT_WSClient::AcceptConnection() { return 1; }
int CUT_WSClient::CloseConnection() { return 0; }
int CUT_WSClient::IsConnected() { return 0; }
int CUT_WSClient::Send(const char*, int) { return SOCKET_ERROR; }
int CUT_WSClient::SendAsLine(const char*, int, int) { return 0; }
int CUT_WSClient::SendFile(const char*, long*) { return 1; }
int CUT_WSClient::SendTo(const char*, int&) { return 1; }
int CUT_WSClient::ReceiveFrom(char*, int&, unsigned long) { return 1; }
int CUT_WSClient::Receive(char*, int, int) { return -1; }
int CUT_WSClient::Receive(char*, int) { return -1; }
int CUT_WSClient::ReceiveLine(char*, int, int) { return 0; }
int CUT_WSClient::ReceiveToFile(const char*, int, long*, int) { return 1; }
int CUT_WSClient::ClearReceiveBuffer() { return 0; }
int CUT_WSClient::IsDataWaiting() { return 0; }
int CUT_WSClient::WaitForSend(long, long) { return 1; }
int CUT_WSClient::WaitForReceive(long, long) { return 1; }
int CUT_WSClient::SetReceiveTimeOut(int) { return SOCKET_ERROR; }
int CUT_WSClient::SetSendTimeOut(int) { return SOCKET_ERROR; }
int CUT_WSClient::SetBlockingMode(int) { return 1; }
int CUT_WSClient::GetMaxSend() { return -1; }
int CUT_WSClient::GetMaxReceive() { return -1; }
int CUT_WSClient::SetMaxSend(int) { return SOCKET_ERROR; }
int CUT_WSClient::SetMaxReceive(int) { return SOCKET_ERROR; }
int CUT_WSClient::SetSocketOption(int, void*) { return SOCKET_ERROR; }
int CUT_WSClient::GetSocketOption(int, void*) { return SOCKET_ERROR; }
void CUT_WSClient::SetRecvCallBackFunction(int (*callback)(long)) { m_recvCallBack = callback; }
void CUT_WSClient::SetSendCallBackFunction(int (*callback)(long)) { m_sendCallBack = callback; }
unsigned int CUT_WSClient::GetPort() const { return m_nPort; }
SOCKET CUT_WSClient::GetSocket() const { return m_clientSocket; }
int CUT_WSClient::GetAddressFromName(const char*, char*, int) { return 2; }
int CUT_WSClient::GetNameFromAddress(const char*, char*, int) { return 2; }
int CUT_WSClient::IsIPAddress(const char*) const { return 0; }
int CUT_WSClient::GetHostAddress(char*, int, int) { return 1; }
int CUT_WSClient::ParseString(const char*, const char*, int, char*, int) const { return 1; }
int CUT_WSClient::ParseString(const char*, const char*, int, long*) const { return 1; }
int CUT_WSClient::GetParseStringPieces(const char*, const char*) const { return 0; }
void CUT_WSClient::RemoveCRLF(char*) const {}
int CUT_WSClient::EndWithCRLF(const char*) const { return 0; }
int CUT_WSClient::InitAsync(HINSTANCE) { return 1; }
int CUT_WSClient::SetAsyncNotify(long) { return 1; }
int CUT_WSClient::AsyncGetNameFromAddress(const char*, char*, int) { return 1; }
int CUT_WSClient::AsyncGetAddressFromName(const char*, char*, int) { return 1; }
LRESULT CUT_WSClient::NotifyWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
bool CUT_WSClient::OpenClientSocket(int, int) { return false; }
bool CUT_WSClient::StoreAddress(const char*) { return false; }
