/* Two recurrences over different sizes: each bound grows with a parameter the other statement does not name. */
int N = 10, M = 7;
double a[11], b[8];
int main(void)
{
  int i;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
#pragma latency [1][1]
    a[i+1] = a[i];
  }
  for (i = 0; i < M; i++) {
#pragma latency [1][1]
    b[i+1] = b[i];
  }
  return 0;
}
